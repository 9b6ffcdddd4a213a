#ifndef API_APIBRIDGE_H
#define API_APIBRIDGE_H

#include <QObject>
#include <QString>

#include <functional>

#include "api/apibackend.h"
#include "config/apisettings.h"
#include "meter/freeaccelseries.h"
#include "net/linkkeeper.h"
#include "records/vehicle.h"

class ApiServer;
class DailyChecks;
class LaneSession;
class RecordReader;
struct LaneReading;

// The lane behind the API: answers the server's questions and commands from
// the session, the records database (read only) and the lane's maxima, and
// hands the session's events to the server in the API's terms.
class ApiBridge : public QObject, public ApiBackend
{
    Q_OBJECT

public:
    // 'databaseFile' is read only when a client asks for records, on a
    // reader thread of the bridge's own; it may not exist yet.
    ApiBridge(LaneSession *session, const QString &databaseFile, QObject *parent = nullptr);
    ~ApiBridge() override;

    // The maxima live on the form; without this hook clearMaxima is refused.
    void setClearMaxima(std::function<void()> clear) { clearHook = std::move(clear); }
    // The method a test started without one, or with its name, runs with.
    void setMethodInUse(const FreeAccelMethod &method) { inUse = method; }

    ApiServer *server() const { return apiServer; }
    // The day's checks: startCheck runs them, their ends are announced, and
    // startTest is refused while they lock the lane.
    void setDailyChecks(DailyChecks *checks);
    // See ApiServer::start: false, with the server's status saying why.
    bool start(const settings::ApiSettings &config);

    // ApiBackend
    api::State state() const override;
    bool startTest(const api::Vehicle &vehicle, const QString &operatorName, const QString &method,
                   QString *error) override;
    bool stopTest(QString *error) override;
    bool clearMaxima(QString *error) override;
    bool startCheck(const QString &kind, const QString &filter, QString *error) override;
    void record(const QString &id, RecordDone done) override;
    void listRecords(const api::RecordFilter &filter, ListDone done) override;

public slots:
    // A series' record was made; 'stored' is false while it waits for the
    // database.
    void recordKept(const QString &id, bool stored);
    // The link as it is when the bridge is made later than the link; the
    // session's changes follow by themselves.
    void takeLink(LinkKeeper::State state, const QString &address);

private:
    void followSession();
    // The vehicle, the operator and the limit chosen for them go to the
    // session with the method; false with the reason in 'error' when the
    // session refuses.
    bool startTestFor(const Vehicle &vehicle, const QString &operatorName, const FreeAccelMethod &method,
                      QString *error);
    bool methodNamed(const QString &name, FreeAccelMethod *method, QString *error) const;

    LaneSession *session;
    ApiServer *apiServer;
    RecordReader *reader;
    DailyChecks *dailyChecks = nullptr;
    std::function<void()> clearHook;
    FreeAccelMethod inUse = FreeAccelMethod::r24();
    api::Link link{QStringLiteral("connecting"), QString()};
};

#endif
