#include "lane/recordmaker.h"

#include <cmath>

#include "config/recordsettings.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "records/recordkeeper.h"

const char RecordMaker::DefaultUnsavedFolder[] = "results/unsaved";

RecordMaker::RecordMaker(LaneSession *session, const QString &databasePath,
                         const QString &unsavedFolder, QObject *parent)
    : QObject(parent)
    , session(session)
    , recordKeeper(new RecordKeeper(databasePath, unsavedFolder, this))
    , database(databasePath)
    , station(settings::stationName())
    , lane(settings::laneName())
{
    connect(session, &LaneSession::seriesFinished, this, &RecordMaker::keepSeries);
    connect(session, &LaneSession::seriesAbandoned, this, &RecordMaker::keepSeries);
    connect(session, &LaneSession::linkChanged, this,
            [this](LinkKeeper::State state, const QString &address) {
                if (state == LinkKeeper::State::Connected)
                    meterAddress = address;
            });
    connect(session, &LaneSession::calibrated, this, [this](const QDateTime &at) {
        recordKeeper->addMeterEvent(RecordStore::MeterEvent::Calibration, at, meterAddress);
    });
    connect(session, &LaneSession::factoryResetDone, this, [this](const QDateTime &at) {
        recordKeeper->addMeterEvent(RecordStore::MeterEvent::FactoryReset, at, meterAddress);
    });
    connect(recordKeeper, &RecordKeeper::recordStored, this,
            [this](const QString &id) { attempted(id, true); });
    connect(recordKeeper, &RecordKeeper::recordRefused, this,
            [this](const QString &id, const QString &reason) {
                attempted(id, false);
                emit storageProblem(reason);
            });
    connect(recordKeeper, &RecordKeeper::storageProblem, this, &RecordMaker::storageProblem);
    connect(recordKeeper, &RecordKeeper::databaseReplaced, this, &RecordMaker::databaseReplaced);
    // Every problem reaches the log, whoever listens besides.
    connect(this, &RecordMaker::storageProblem, this,
            [](const QString &reason) { qWarning("records: %s", qPrintable(reason)); });
    connect(this, &RecordMaker::databaseReplaced, this, [](const QString &movedAside, const QString &) {
        qWarning("records: damaged database moved aside to %s; a new one was started",
                 qPrintable(movedAside));
    });
}

RecordMaker::~RecordMaker()
{
    close();
}

void RecordMaker::setStation(const QString &name, const QString &laneName)
{
    station = name;
    lane = laneName;
}

void RecordMaker::start()
{
    recordKeeper->start();
}

bool RecordMaker::close()
{
    return recordKeeper->close();
}

TestRecord RecordMaker::recordOf(const FinishedSeries &outcome) const
{
    RecordContext context;
    context.station = station;
    context.lane = lane;
    context.software = QStringLiteral(OPA_HOST_VERSION);
    context.meterAddress = meterAddress;
    context.lastCalibration = recordKeeper->lastCalibration();
    return buildRecord(outcome, context);
}

void RecordMaker::keepSeries(const FinishedSeries &outcome)
{
    const TestRecord record = recordOf(outcome);
    firstTries.insert(record.id);
    recordKeeper->keep(record);
}

TestRecord RecordMaker::recordOf(const CheckResult &check) const
{
    TestRecord r;
    r.id = check.id;
    r.kind = QString::fromLatin1(TestRecord::CheckKind);
    r.check = check.toJson();
    r.started = check.started;
    r.ended = check.ended;
    r.station = station;
    r.lane = lane;
    r.operatorName = check.operatorName;
    r.method = CheckKinds::key(check.kind);
    r.counted = 0;
    r.band = 0;
    r.rejectDecreasing = false;
    r.maxSnaps = 0;
    r.outcome = TestRecord::Outcome::Valid;
    r.verdict = check.passed ? QStringLiteral("pass") : QStringLiteral("fail");
    r.software = QStringLiteral(OPA_HOST_VERSION);
    r.meterAddress = meterAddress;
    r.lastCalibration = recordKeeper->lastCalibration();
    for (int i = 0; i < check.readings.size(); ++i) {
        r.trace.tMs << (i < check.readingMs.size() ? check.readingMs.at(i) : i * 100);
        r.trace.k << NAN;
        r.trace.n << check.readings.at(i);
    }
    r.seal();
    return r;
}

void RecordMaker::keepCheck(const CheckResult &check)
{
    const TestRecord record = recordOf(check);
    firstCheckTries.insert(record.id);
    recordKeeper->keep(record);
}

void RecordMaker::attempted(const QString &id, bool stored)
{
    if (firstTries.remove(id))
        emit recordKept(id, stored);
    if (firstCheckTries.remove(id))
        emit checkKept(id, stored);
    if (stored)
        emit recordStored(id);
}
