#ifndef HOST_LANEHOST_H
#define HOST_LANEHOST_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include "meter/freeaccelseries.h"
#include "meter/measurement.h"

class ApiBridge;
class DailyChecks;
class CompanionExchange;
class LaneSession;
class MeterLink;
class RecordMaker;
struct LaneReading;
namespace station {
class StationLink;
}

// One lane without a window: the link to the meter, the session, the
// maker of its records, the companion exchange, and the services the first
// poll does not need (the records database, the station's server and the
// API), which start after it. It holds the running maxima and the method
// in use, so a window, a test or a tool runs the same lane.
//
// Whoever drives the link (the window's fixed slots, or driveLinkItself())
// connects to the client and the poll timer first, then calls start().
class LaneHost : public QObject
{
    Q_OBJECT

public:
    struct Maxima {
        float n = 0;
        float ns = 0;
        float k = 0;
    };

    // The services start at the latest this long after start(), so a lane
    // whose meter is away still stores, forwards and serves.
    static constexpr int ServicesLatestMs = 1000;
    // Between the calibration's two steps, as the meter needs.
    static constexpr int CalibrationStepsApartMs = 3000;

    // The records database is set.ini's, its unsaved folder the default.
    explicit LaneHost(QObject *parent = nullptr);
    ~LaneHost() override;

    // The link's own wiring, for a lane that no window drives: polls,
    // frames, the companion's commands and the hand-over of a found meter.
    void driveLinkItself();
    // Follows the link; the services follow the first poll.
    void start();

    MeterLink *meterLink() const { return link; }
    LaneSession *session() const { return laneSession; }
    RecordMaker *recordMaker() const { return laneRecordMaker; }
    CompanionExchange *companion() const { return exchange; }
    // Null until the services run.
    station::StationLink *stationLink() const { return station; }
    ApiBridge *apiBridge() const { return bridge; }
    // The daily checks, once: set.ini's filters and lock, the tolerances of
    // the profile's [Checks] (else set.ini's), the lock on every test start,
    // the checks kept earlier and the records of new ones. The API may start
    // them. 'faults' gets what the settings got wrong, in the operator's
    // language; the log names it too.
    DailyChecks *addDailyChecks(QStringList *faults = nullptr);
    // The meter's calibration without a window: polling stops, the two steps
    // go out three seconds apart, and polling resumes when the meter reports
    // it done (a lane that drives its link itself), or when it has not
    // within the daily check's wait after the second step.
    void calibrate();
    void setCalibrationPacing(int stepsApartMs, int doneWithinMs);  // for tests
    bool servicesRunning() const { return servicesStarted; }

    // The remembered address once, else a search of the network.
    void findMeter();
    // The client reached the meter at 'address' (empty: the remembered one).
    void meterConnected(const QString &address);
    // A frame from the meter; the companion sees every short reply.
    Measurement::FrameKind takeFrame(const QByteArray &frame);
    // A companion's command for the meter, or nothing.
    QByteArray takeCompanionCommand();
    void sendToMeter(const QByteArray &frame);

    const Maxima &maxima() const { return highest; }
    void clearMaxima();

    // The method a test started without one runs with; kept in set.ini
    // for the next start.
    const FreeAccelMethod &methodInUse() const { return method; }
    void useMethod(const FreeAccelMethod &chosen);

    // The procedure profile [Procedure] of set.ini chooses, read afresh and
    // handed to the session.
    void useProfile();

    // The database, the station link and, when asked for, the API; once.
    void startServices();
    // The API as [Api] says, now: also before the services.
    void startApi();
    // The API as [Api] says, with the services.
    void startApiWithServices();
    // The station's server as set.ini says now.
    void useStationServer();

signals:
    void maximaChanged(const LaneHost::Maxima &maxima);
    void servicesReady();
    void stationStatusChanged();
    void apiStatusChanged(const QString &status);

private:
    void raiseMaxima(const LaneReading &reading);
    void startStationLink();

    MeterLink *link;
    LaneSession *laneSession;
    RecordMaker *laneRecordMaker;
    CompanionExchange *exchange;
    station::StationLink *station = nullptr;
    ApiBridge *bridge = nullptr;
    DailyChecks *checks = nullptr;
    Maxima highest;
    FreeAccelMethod method;
    bool apiWanted = false;
    bool servicesStarted = false;
    bool calibrating = false;
    int calibrations = 0;  // so a late fallback knows its own calibration
    int stepsApartMs = CalibrationStepsApartMs;
    int doneWithinMs;
    bool started = false;
};

#endif
