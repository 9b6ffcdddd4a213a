#ifndef LANE_LANESESSION_H
#define LANE_LANESESSION_H

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

#include "lane/lanereading.h"
#include "lane/readingcsvwriter.h"
#include "lane/trendbuffer.h"
#include "meter/freeaccelseries.h"
#include "meter/measurement.h"
#include "net/linkkeeper.h"
#include "records/finishedseries.h"
#include "records/procedureprofile.h"
#include "records/testsubject.h"

// What a lane does over time, without a widget: every frame from the meter
// comes in through takeFrame(); each measurement reply becomes one reading,
// decoded and stamped once, and feeds the free-acceleration series and the
// recording that run on it. Views and stores listen to the signals and call
// the commands; nothing here knows who they are.
class LaneSession : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<LaneStamp()>;

    explicit LaneSession(QObject *parent = nullptr);

    // The one clock of the lane's stamps; tests set their own. The default
    // reads the system's monotonic clock and the local time together.
    void setClock(Clock clock);
    LaneStamp now() const { return clock(); }
    // Asked before every series: empty lets it start, else the reason it
    // may not (the day's checks not done, one under way).
    void setStartGate(std::function<QString()> gate) { startGate = std::move(gate); }
    // The procedure tests run by: a profile's method replaces the one a
    // start names, and a profile that cannot be used refuses every start.
    void setProfile(const ProcedureProfile &chosen);
    const ProcedureProfile &profile() const { return active; }
    // Where finished series are appended; FreeAccelCsv::DefaultPath.
    void setResultsPath(const QString &path) { resultsPath = path; }

    // A frame as the client cut it. Returns what kind of frame it was, so
    // that the caller handles the short replies' other business itself.
    Measurement::FrameKind takeFrame(const QByteArray &frame);
    // The meter was sent a factory reset: its calibration-done reply ends
    // the reset, not a calibration.
    void beginFactoryReset() { resetPending = true; }
    // Follows 'keeper's states and tells it of every reading.
    void watchLink(LinkKeeper *keeper);

    // Starts a series on 'subject' (no vehicle: a service test). The
    // subject's limit replaces the method's, so the verdict, the results
    // file and the record agree. False, with the reason in 'whyNot', while a
    // series runs, when the subject breaks the vehicle rules, or when the
    // profile cannot be used. A vehicle of several outlets runs one series
    // per outlet, one after another, and finishes once, with their mean.
    bool startTest(const FreeAccelMethod &method, const TestSubject &subject = TestSubject(),
                   QString *whyNot = nullptr);
    // Abandons the running series; false when none runs.
    bool stopTest();
    // Named by the start time (ReadingCsvWriter::pathFor) when 'path' is empty.
    // False, after recordingFailed, when the file cannot be made.
    bool startRecording(const QString &path = QString());
    void stopRecording();
    // Stops a running recording, else starts one named by the time.
    void toggleRecording();

    const FreeAccelSeries &series() const { return run; }
    // The running or last series' subject.
    const TestSubject &subject() const { return testSubject; }
    // The outlet under test, from 0; the series() is this outlet's.
    int outlet() const { return qMin(int(outletParts.size()), testSubject.vehicle.outlets - 1); }
    // The snaps of the outlets tested before this one.
    int snapsBefore() const;
    bool testRunning() const { return run.running(); }
    // The local time of a monotonic stamp of the running or last series.
    QDateTime timeAt(qint64 monotonicMs) const;
    bool hasReading() const { return !last.frame.isEmpty(); }
    const LaneReading &lastReading() const { return last; }
    const ReadingCsvWriter &readingCsvWriter() const { return readingCsv; }
    bool isRecording() const { return readingCsv.isRecording(); }
    // The last minute of readings and the peaks counted in it.
    const TrendBuffer &trend() const { return recent; }

signals:
    void readingTaken(const LaneReading &reading);
    void linkChanged(LinkKeeper::State state, const QString &address);
    void calibrated(const QDateTime &time);
    void factoryResetDone(const QDateTime &time);
    void profileChanged();
    void seriesStarted(const FreeAccelMethod &method);
    // 'index' counts the snaps of the whole test, every outlet's.
    void snapFound(const Snap &snap, int index);
    // A vehicle of several outlets: the series of outlet 'outlet' (from 0) began.
    void outletStarted(int outlet);
    void seriesFinished(const FinishedSeries &outcome);
    void seriesAbandoned(const FinishedSeries &outcome);
    // The results file could not take a finished series' line.
    void resultsNotSaved(const QString &reason);
    void recordingStarted(const QString &path);
    void rowsWritten(int rows);
    void recordingStopped(const QString &path);
    void recordingFailed(const QString &reason);

private:
    void takeShortReply(const QByteArray &frame);
    void feedSeries(const LaneReading &reading);
    void endSeries(const LaneStamp &at);

    Clock clock;
    std::function<QString()> startGate;
    QString resultsPath;
    LaneReading last;
    bool resetPending = false;
    ProcedureProfile active;
    FreeAccelSeries run;
    QDateTime seriesStart;
    TestSubject testSubject;
    ProfileStamp testProfile;
    QVector<FinishedSeries> outletParts;  // the outlets done in this test
    qint64 testStartMs = 0;
    QVector<FinishedSeries::TracePoint> trace;
    ReadingCsvWriter readingCsv;  // the file of the recording, while one runs
    TrendBuffer recent;
};

Q_DECLARE_METATYPE(Snap)
Q_DECLARE_METATYPE(FreeAccelMethod)

#endif
