#include "lane/lanesession.h"

#include <QElapsedTimer>

#include <memory>

#include "lane/freeaccelcsv.h"
#include "meter/frames.h"

namespace {

// The system's clocks, read together. The local time zone lookup costs ten
// times the rest of a reading, too much for a burst of replies: the offset
// from UTC is taken again once a second only, so a daylight-saving change
// shows within a second.
LaneSession::Clock systemClock()
{
    struct State {
        QElapsedTimer monotonic;
        qint64 offsetTakenMs = -1;
        int offsetSeconds = 0;
    };
    auto state = std::make_shared<State>();
    state->monotonic.start();
    return [state] {
        LaneStamp stamp;
        stamp.monotonicMs = state->monotonic.elapsed();
        if (state->offsetTakenMs < 0 || stamp.monotonicMs - state->offsetTakenMs >= 1000) {
            state->offsetSeconds = QDateTime::currentDateTime().offsetFromUtc();
            state->offsetTakenMs = stamp.monotonicMs;
        }
        stamp.time = QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch(),
                                                    Qt::OffsetFromUTC, state->offsetSeconds);
        return stamp;
    };
}

} // namespace

LaneSession::LaneSession(QObject *parent)
    : QObject(parent)
    , clock(systemClock())
    , resultsPath(QString::fromLatin1(FreeAccelCsv::DefaultPath))
{
    qRegisterMetaType<LaneReading>();
    qRegisterMetaType<FinishedSeries>();
    qRegisterMetaType<Snap>();
    qRegisterMetaType<FreeAccelMethod>();
    qRegisterMetaType<TestSubject>();
    connect(&readingCsv, &ReadingCsvWriter::started, this, &LaneSession::recordingStarted);
    connect(&readingCsv, &ReadingCsvWriter::stopped, this, [this](const QString &path, const QString &error) {
        if (error.isEmpty())
            emit recordingStopped(path);
        else
            emit recordingFailed(error);
    });
}

void LaneSession::setClock(Clock c)
{
    clock = c ? std::move(c) : systemClock();
}

Measurement::FrameKind LaneSession::takeFrame(const QByteArray &frame)
{
    const Measurement::FrameKind kind = Measurement::classify(frame);
    if (kind == Measurement::FrameKind::ShortReply)
        takeShortReply(frame);
    if (kind != Measurement::FrameKind::Measurement)
        return kind;

    const LaneStamp stamp = clock();
    LaneReading::fromReply(frame, stamp.monotonicMs, stamp.time, &last);
    recent.append(last);
    feedSeries(last);
    if (readingCsv.isRecording()) {
        readingCsv.record(last);
        if (readingCsv.isRecording())
            emit rowsWritten(readingCsv.rowCount());
    }
    emit readingTaken(last);
    return kind;
}

void LaneSession::takeShortReply(const QByteArray &frame)
{
    if (frame != Frames::calibrationDone())
        return;
    const QDateTime time = clock().time;
    if (resetPending) {
        resetPending = false;
        emit factoryResetDone(time);
    } else {
        emit calibrated(time);
    }
}

void LaneSession::watchLink(LinkKeeper *keeper)
{
    connect(keeper, &LinkKeeper::stateChanged, this, &LaneSession::linkChanged);
    connect(this, &LaneSession::readingTaken, keeper, [keeper] { keeper->onMeasurement(); });
}

void LaneSession::setProfile(const ProcedureProfile &chosen)
{
    active = chosen;
    emit profileChanged();
}

bool LaneSession::startTest(const FreeAccelMethod &method, const TestSubject &subject,
                            QString *whyNot)
{
    const TestSubject checked = subject.normalised();
    QString fault = run.running() ? tr("测量正在进行") : active.refusal;
    if (fault.isEmpty())
        fault = checked.fault();
    if (fault.isEmpty() && startGate)
        fault = startGate();
    if (!fault.isEmpty()) {
        if (whyNot)
            *whyNot = fault;
        return false;
    }
    FreeAccelMethod rules = active.isCustom() ? method : active.method;
    rules.hasLimit = checked.limit.hasLimit();
    rules.limitK = rules.hasLimit ? checked.limit.limitK : 0;
    const LaneStamp stamp = clock();
    testSubject = checked;
    testSubject.vehicle.outlets = qBound(1, checked.vehicle.outlets, Vehicle::MaxOutlets);
    testProfile = active.stamp();
    outletParts.clear();
    testStartMs = stamp.monotonicMs;
    run.start(rules, stamp.monotonicMs);
    seriesStart = stamp.time;
    trace.clear();
    emit seriesStarted(run.method());
    return true;
}

bool LaneSession::stopTest()
{
    const LaneStamp stamp = clock();
    if (!run.stop(stamp.monotonicMs))
        return false;
    endSeries(stamp);
    return true;
}

void LaneSession::feedSeries(const LaneReading &reading)
{
    if (!run.running())
        return;
    const bool hasK = reading.has(LaneReading::K);
    trace.append({reading.monotonicMs - testStartMs, reading.n, hasK, hasK ? reading.k : 0});
    // A reply without K says nothing about the snap.
    if (!hasK)
        return;
    const FreeAccelSeries::Step step = run.onReading(reading.monotonicMs, reading.k, reading.n);
    if (step.snapEnded)
        emit snapFound(run.snaps().last(), snapsBefore() + run.snaps().size() - 1);
    if (step.finished)
        endSeries({reading.monotonicMs, reading.time});
}

void LaneSession::endSeries(const LaneStamp &at)
{
    outletParts << FinishedSeries::of(run, testSubject, testProfile, timeAt(run.startedMs()), at.time, {});
    // The next outlet's series follows a valid one at once.
    if (outletParts.last().valid() && outletParts.size() < testSubject.vehicle.outlets) {
        run.start(run.method(), at.monotonicMs);
        emit outletStarted(outletParts.size());
        return;
    }
    const FinishedSeries outcome = FinishedSeries::combine(outletParts, active.outletSpread, trace);
    trace.clear();
    QString error;
    if (!CsvFile::appendOnce(resultsPath, QString::fromLatin1(FreeAccelCsv::Header),
                             FreeAccelCsv::line(outcome), &error, true))
        emit resultsNotSaved(error);
    if (outcome.ending == FinishedSeries::Ending::Abandoned) {
        emit seriesAbandoned(outcome);
        return;
    }
    for (int i : outcome.countedIndexes)
        recent.addPeak(outcome.snaps.at(i).peakMs, float(outcome.snaps.at(i).peakK));
    emit seriesFinished(outcome);
}

QDateTime LaneSession::timeAt(qint64 monotonicMs) const
{
    return FinishedSeries::timeAt(seriesStart, testStartMs, monotonicMs);
}

int LaneSession::snapsBefore() const
{
    int before = 0;
    for (const FinishedSeries &part : outletParts)
        before += part.snaps.size();
    return before;
}

bool LaneSession::startRecording(const QString &path)
{
    const QString file = path.isEmpty() ? ReadingCsvWriter::pathFor(clock().time) : path;
    if (readingCsv.start(file))
        return true;
    emit recordingFailed(readingCsv.errorString());
    return false;
}

void LaneSession::stopRecording()
{
    readingCsv.stop();
}

void LaneSession::toggleRecording()
{
    if (readingCsv.isRecording())
        readingCsv.stop();
    else
        startRecording();
}
