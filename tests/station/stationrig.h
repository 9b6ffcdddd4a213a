#ifndef TESTS_STATIONRIG_H
#define TESTS_STATIONRIG_H

#include <QObject>
#include <QSqlQuery>
#include <QTest>

#include "support/recordfixtures.h"
#include "records/recordstore.h"
#include "station/forwarder.h"
#include "support/pgserver.h"
#include "station/serverdb.h"

// A record of lane 'lane' made by the record builder; 'minutes' moves its
// times, 'pass' picks peaks under the vehicle's plate value.
inline TestRecord laneRecord(const QString &plate, int minutes = 0, const QString &lane = QStringLiteral("2号线"), bool pass = false)
{
    TestRecord r = fixtures::record(plate, minutes, pass ? QVector<double>{1.0, 0.9, 0.92, 0.9, 0.95} : QVector<double>{1.50, 1.30, 1.22, 1.20, 1.25});
    r.lane = lane;
    r.seal();
    return r;
}

// The lane's database as the program keeps it: records stored through the
// real store, the queue read through a connection of the test's own.
class Lane
{
public:
    explicit Lane(const QString &path) : file(path), other(path) { store.open(path); }
    QString path() const { return file; }
    bool add(const TestRecord &record) { return store.store(record); }
    // 'count' records with plates 'plates' takes the number of, from 'first' on.
    bool addMany(const QString &plates, int count, int first = 0, const QString &lane = QStringLiteral("2号线"))
    {
        bool ok = true;
        for (int i = first; i < first + count; ++i)
            ok = add(laneRecord(plates.arg(i), i, lane)) && ok;
        return ok;
    }
    bool unsend() { return other.exec(QStringLiteral("UPDATE forward_queue SET sent = NULL")); }
    int pending() { return ids(QStringLiteral("sent IS NULL")).size(); }
    QStringList queuedIds() { return ids(QStringLiteral("TRUE")); }
    QString lastError(const QString &id)
    {
        return other.value(QStringLiteral("SELECT last_error FROM forward_queue WHERE record_id = '%1'").arg(id)).toString();
    }

private:
    QStringList ids(const QString &where)
    {
        return other.value(QStringLiteral("SELECT group_concat(record_id) FROM (SELECT record_id FROM forward_queue WHERE %1 ORDER BY seq)")
                               .arg(where)).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }

    QString file;
    RecordStore store;
    fixtures::OtherConnection other;
};

// What a forwarder last reported, heard on the test's thread (the forwarder
// signals from its own).
class StateLog : public QObject
{
    Q_OBJECT
public:
    explicit StateLog(station::Forwarder *forwarder)
    {
        connect(forwarder, &station::Forwarder::synced, this, [this] { state = QStringLiteral("synced"); });
        connect(forwarder, &station::Forwarder::pending, this, [this] { state = QStringLiteral("pending"); });
        connect(forwarder, &station::Forwarder::failed, this, [this](const QString &why) { state = QStringLiteral("failed"); reason = why; });
    }
    bool waitFor(const QString &wanted) { return QTest::qWaitFor([&] { return state == wanted; }, 10000); }

    QString state, reason;
};

// Skips where this machine cannot run PostgreSQL 15; else starts one in 'pg'.
#define OPA_START_PGSERVER(pg) \
    do { \
        if (!testsupport::PgServer::unavailableReason().isEmpty()) \
            QSKIP(qPrintable(testsupport::PgServer::unavailableReason())); \
        (pg).reset(new testsupport::PgServer); \
        QVERIFY2((pg)->start(), qPrintable((pg)->errorString())); \
    } while (false)

// Runs the station's migrations as a lane's start does; how many ran, or -1.
inline int migrate(const settings::StationServer &server, QString *error)
{
    const QString name = QStringLiteral("test-migrate");
    int ran = -1;
    if (station::openServer(server, name, {}, error))
        ran = station::migrateServer(QSqlDatabase::database(name, false), error);
    QSqlDatabase::removeDatabase(name);
    return ran;
}

// Forwarding options that retry soon, so outages in tests stay short.
inline station::ForwardOptions quickOptions(const QString &laneDb, const settings::StationServer &server, int firstRetryMs = 100)
{
    station::ForwardOptions o;
    o.laneDb = laneDb;
    o.server = server;
    o.timeouts.connectS = 2;
    o.firstRetryMs = firstRetryMs;
    o.maxRetryMs = qMax(400, firstRetryMs);
    return o;
}

#endif
