#include "lane/testarchive.h"

#include <cmath>

#include "config/recordsettings.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "records/recordkeeper.h"

const char TestArchive::DefaultUnsavedFolder[] = "results/unsaved";

TestArchive::TestArchive(LaneSession *session, const QString &databasePath,
                         const QString &unsavedFolder, QObject *parent)
    : QObject(parent)
    , session(session)
    , recordKeeper(new RecordKeeper(databasePath, unsavedFolder, this))
    , database(databasePath)
    , station(settings::stationName())
    , lane(settings::laneName())
{
    connect(session, &LaneSession::seriesFinished, this, &TestArchive::keepSeries);
    connect(session, &LaneSession::seriesAbandoned, this, &TestArchive::keepSeries);
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
    connect(recordKeeper, &RecordKeeper::storageProblem, this, &TestArchive::storageProblem);
    connect(recordKeeper, &RecordKeeper::databaseReplaced, this, &TestArchive::databaseReplaced);
    // Every problem reaches the log, whoever listens besides.
    connect(this, &TestArchive::storageProblem, this,
            [](const QString &reason) { qWarning("records: %s", qPrintable(reason)); });
    connect(this, &TestArchive::databaseReplaced, this, [](const QString &movedAside, const QString &) {
        qWarning("records: damaged database moved aside to %s; a new one was started",
                 qPrintable(movedAside));
    });
}

TestArchive::~TestArchive()
{
    close();
}

void TestArchive::setStation(const QString &name, const QString &laneName)
{
    station = name;
    lane = laneName;
}

void TestArchive::start()
{
    recordKeeper->start();
}

bool TestArchive::close()
{
    return recordKeeper->close();
}

TestRecord TestArchive::recordOf(const FinishedSeries &outcome) const
{
    RecordContext context;
    context.station = station;
    context.lane = lane;
    context.software = QStringLiteral(OPA_HOST_VERSION);
    context.meterAddress = meterAddress;
    context.lastCalibration = recordKeeper->lastCalibration();
    return buildRecord(outcome, context);
}

void TestArchive::keepSeries(const FinishedSeries &outcome)
{
    const TestRecord record = recordOf(outcome);
    firstTries.insert(record.id);
    recordKeeper->keep(record);
}

TestRecord TestArchive::recordOf(const CheckResult &check) const
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

void TestArchive::keepCheck(const CheckResult &check)
{
    const TestRecord record = recordOf(check);
    firstCheckTries.insert(record.id);
    recordKeeper->keep(record);
}

void TestArchive::attempted(const QString &id, bool stored)
{
    if (firstTries.remove(id))
        emit recordKept(id, stored);
    if (firstCheckTries.remove(id))
        emit checkKept(id, stored);
    if (stored)
        emit recordStored(id);
}
