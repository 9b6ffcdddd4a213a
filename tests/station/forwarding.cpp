#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>

#include "station/forwarder.h"
#include "station/queuesender.h"
#include "support/laneschema.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "stationrig.h"

using testsupport::LaneDb;
using testsupport::makeRecord;

// A lane's queue reaching the station's server: order, content, exactly
// once, across an outage, from two lanes at once, and a server stopped
// while a record's transaction is open.
class StationForwarding : public QObject
{
    Q_OBJECT
    QTemporaryDir lanes;
    std::unique_ptr<testsupport::PgServer> pg;
    int databases = 0;

    QString freshDatabase()
    {
        const QString name = QStringLiteral("fwd%1").arg(++databases);
        return pg->createDatabase(name) ? name : QString();
    }
    QString lanePath(const QString &name) const { return lanes.filePath(name + QStringLiteral(".sqlite")); }
    QStringList serverIds(const QString &db, const QString &order = QStringLiteral("id"))
    {
        QStringList ids;
        const QString list = pg->scalar(QStringLiteral("SELECT string_agg(id, ',' ORDER BY %1) FROM records").arg(order), db).toString();
        if (!list.isEmpty())
            ids = list.split(QLatin1Char(','));
        return ids;
    }
    static QStringList sorted(QStringList ids) { ids.sort(); return ids; }

private slots:
    void initTestCase();
    void cleanup();

    // basics
    void forwardsInOrderWithEveryField();
    void resentRecordIsStoredOnce();
    void listsWithTheLaneFilters_data();
    void listsWithTheLaneFilters();
    // outages
    void serverAwayThenBack();
    void serverStoppedMidTransaction_data();
    void serverStoppedMidTransaction();
    // together
    void twoLanesAtOnce();
};

void StationForwarding::initTestCase()
{
    const QString missing = testsupport::PgServer::unavailableReason();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    pg.reset(new testsupport::PgServer);
    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
}

void StationForwarding::cleanup()
{
    // A test that failed half-way must not leave the next one without a server.
    if (pg && !pg->isRunning())
        QVERIFY2(pg->start(), qPrintable(pg->errorString()));
}

// The server receives the queue in the queue's order, with the key columns
// taken from the document, and lists the documents as the lane made them.
void StationForwarding::forwardsInOrderWithEveryField()
{
    const QString db = freshDatabase();
    QVERIFY(!db.isEmpty());
    LaneDb lane(lanePath(QStringLiteral("order")));
    QVERIFY(lane.isOpen());
    const QDateTime t0(QDate(2026, 12, 7), QTime(10, 15, 30, 123), Qt::OffsetFromUTC, 8 * 3600);
    QList<QJsonObject> records;
    for (int i = 0; i < 5; ++i) {
        // Started times run backwards, so only the queue can set the order of arrival.
        records << makeRecord(QStringLiteral("京A1234%1").arg(i), QStringLiteral("LSVAU2180N2183294"),
                              t0.addSecs(-3600 * i), QStringLiteral("St1"), QStringLiteral("L1"), i);
        QVERIFY(lane.add(records.last()));
    }
    station::Forwarder forwarder(quickOptions(lane.path(), pg->settings(db)));
    StateLog log(&forwarder);
    forwarder.start();
    QVERIFY2(log.waitFor(QStringLiteral("synced")), qPrintable(log.reason));
    QCOMPARE(lane.pending(), 0);
    QCOMPARE(serverIds(db, QStringLiteral("received")), lane.queuedIds());

    const QJsonObject first = records.first();
    QCOMPARE(pg->scalar(QStringLiteral("SELECT concat_ws('|', station, lane, operator, plate, vin, verdict, hash,"
                                       " started = '2026-12-07T10:15:30.123+08:00'::timestamptz,"
                                       " ended - started, received > now() - interval '1 minute')"
                                       " FROM records WHERE id = '%1'").arg(first.value("id").toString()), db).toString(),
             QStringLiteral("St1|L1|张工|京A12340|LSVAU2180N2183294|pass|%1|t|00:01:00|t").arg(first.value("hash").toString()));
    QJsonArray listed;
    QString error;
    QVERIFY2(station::listStationRecords(pg->settings(db), {}, &listed, &error), qPrintable(error));
    QCOMPARE(listed.size(), records.size());
    for (int i = 0; i < records.size(); ++i)
        QCOMPARE(listed.at(i).toObject(), records.at(i));  // newest first
}

// A record whose acknowledgement was lost goes out again; the server keeps
// the copy it has, whatever the lane sends the second time.
void StationForwarding::resentRecordIsStoredOnce()
{
    const QString db = freshDatabase();
    LaneDb lane(lanePath(QStringLiteral("resend")));
    for (int i = 0; i < 3; ++i)
        QVERIFY(lane.add(makeRecord(QStringLiteral("粤B0000%1").arg(i), QString(), QDateTime::currentDateTime())));
    station::SyncResult result = station::syncOnce(lane.path(), pg->settings(db));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.sent, 3);

    QVERIFY(lane.exec(QStringLiteral("UPDATE forward_queue SET sent = NULL")));
    QVERIFY(lane.exec(QStringLiteral("UPDATE records SET json = replace(json, '张工', '李工')")));
    result = station::syncOnce(lane.path(), pg->settings(db));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.sent, 3);
    QCOMPARE(result.remaining, 0);
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM records"), db).toInt(), 3);
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM records WHERE doc->>'operator' = '张工'"
                                       " AND operator = '张工'"), db).toInt(), 3);
}

void StationForwarding::listsWithTheLaneFilters_data()
{
    QTest::addColumn<QString>("plate");
    QTest::addColumn<QString>("vin");
    QTest::addColumn<QDate>("since");
    QTest::addColumn<QDate>("until");
    QTest::addColumn<QString>("expected");  // the records' letters, newest first

    const QDate d5(2026, 12, 5), d6(2026, 12, 6);
    QTest::newRow("no filter") << QString() << QString() << QDate() << QDate() << "cba";
    QTest::newRow("plate part, any case") << "a111" << QString() << QDate() << QDate() << "ca";
    QTest::newRow("VIN part, lower case") << QString() << "wdb" << QDate() << QDate() << "c";
    QTest::newRow("since a day") << QString() << QString() << d6 << QDate() << "cb";
    QTest::newRow("until a day, its last hour in") << QString() << QString() << QDate() << d5 << "a";
    QTest::newRow("one day, past midnight") << QString() << QString() << d6 << d6 << "b";
    QTest::newRow("plate and day") << "A11111" << QString() << d6 << QDate() << "c";
    QTest::newRow("no such plate") << "ZZZ" << QString() << QDate() << QDate() << "";
}

void StationForwarding::listsWithTheLaneFilters()
{
    static QString db;
    if (db.isEmpty()) {
        db = freshDatabase();
        LaneDb lane(lanePath(QStringLiteral("filters")));
        lane.add(makeRecord(QStringLiteral("京A11111"), QStringLiteral("LSVAU2180N2183294"),
                            QDateTime(QDate(2026, 12, 5), QTime(23, 30)), QStringLiteral("a")));
        lane.add(makeRecord(QStringLiteral("京B22222"), QString(), QDateTime(QDate(2026, 12, 6), QTime(0, 10)),
                            QStringLiteral("b")));
        lane.add(makeRecord(QStringLiteral("沪A11111"), QStringLiteral("WDB12345678901234"),
                            QDateTime(QDate(2026, 12, 7), QTime(12, 0)), QStringLiteral("c")));
        QCOMPARE(station::syncOnce(lane.path(), pg->settings(db)).sent, 3);
    }
    QFETCH(QString, plate);
    QFETCH(QString, vin);
    QFETCH(QDate, since);
    QFETCH(QDate, until);
    QFETCH(QString, expected);
    QJsonArray listed;
    QString error;
    QVERIFY2(station::listStationRecords(pg->settings(db), {plate, vin, since, until}, &listed, &error), qPrintable(error));
    QString letters;
    for (const QJsonValue &record : listed)
        letters += record.toObject().value("station").toString();  // the station field carries the letter
    QCOMPARE(letters, expected);
}

// While the server is away the forwarder keeps trying and the lane keeps
// queueing; once it is back every record arrives, each once.
void StationForwarding::serverAwayThenBack()
{
    const QString db = freshDatabase();
    LaneDb lane(lanePath(QStringLiteral("away")));
    for (int i = 0; i < 5; ++i)
        QVERIFY(lane.add(makeRecord(QStringLiteral("京C0000%1").arg(i), QString(), QDateTime::currentDateTime())));
    QVERIFY2(pg->stop(), qPrintable(pg->errorString()));

    station::Forwarder forwarder(quickOptions(lane.path(), pg->settings(db)));
    StateLog log(&forwarder);
    forwarder.start();
    QVERIFY(log.waitFor(QStringLiteral("failed")));
    QVERIFY2(log.reason.contains(pg->socketDir()), qPrintable(log.reason));
    for (int i = 5; i < 10; ++i)
        QVERIFY(lane.add(makeRecord(QStringLiteral("京C0000%1").arg(i), QString(), QDateTime::currentDateTime())));
    forwarder.tryNow();
    QVERIFY(QTest::qWaitFor([&] { return log.failures >= 3; }, 10000));
    QCOMPARE(lane.pending(), 10);

    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    QVERIFY2(log.waitFor(QStringLiteral("synced")), qPrintable(log.reason));
    QCOMPARE(lane.sentIds(), lane.queuedIds());
    QCOMPARE(serverIds(db, QStringLiteral("received")), lane.queuedIds());
}

void StationForwarding::serverStoppedMidTransaction_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("stopped") << "fast";
    QTest::newRow("killed") << "immediate";
}

// The server goes while a record's insert waits inside its transaction:
// nothing of it stays on the server, the lane keeps it queued with the
// reason, and it goes out once when asked again.
void StationForwarding::serverStoppedMidTransaction()
{
    QFETCH(QString, mode);
    const QString db = freshDatabase();
    QString error;
    QVERIFY2(station::openServer(pg->settings(db), QStringLiteral("mid-migrate"), {}, &error), qPrintable(error));
    QCOMPARE(station::migrateServer(QSqlDatabase::database(QStringLiteral("mid-migrate")), &error), 1);
    QSqlDatabase::removeDatabase(QStringLiteral("mid-migrate"));
    QVERIFY(pg->exec(QStringLiteral("CREATE FUNCTION hold() RETURNS trigger LANGUAGE plpgsql AS"
                                    " $$ BEGIN PERFORM pg_advisory_xact_lock_shared(7); RETURN NEW; END $$"), db));
    QVERIFY(pg->exec(QStringLiteral("CREATE TRIGGER hold BEFORE INSERT ON records FOR EACH ROW EXECUTE FUNCTION hold()"), db));
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("holder"));
        holder.setHostName(pg->socketDir());
        holder.setPort(pg->Port);
        holder.setUserName(QStringLiteral("postgres"));
        holder.setDatabaseName(db);
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("SELECT pg_advisory_lock(7)")));
    }
    LaneDb lane(lanePath(QStringLiteral("mid-") + mode));
    for (int i = 0; i < 3; ++i)
        QVERIFY(lane.add(makeRecord(QStringLiteral("京D0000%1").arg(i), QString(), QDateTime::currentDateTime())));

    station::Forwarder forwarder(quickOptions(lane.path(), pg->settings(db), 60000));
    StateLog log(&forwarder);
    forwarder.start();
    QVERIFY(QTest::qWaitFor([&] {
        return pg->scalar(QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT granted")).toInt() == 1;
    }, 10000));
    QVERIFY2(pg->stop(mode), qPrintable(pg->errorString()));
    QVERIFY(log.waitFor(QStringLiteral("failed")));
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    QCOMPARE(lane.pending(), 3);
    QVERIFY(!lane.lastError(lane.queuedIds().first()).isEmpty());

    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM records"), db).toInt(), 0);
    forwarder.tryNow();
    QVERIFY2(log.waitFor(QStringLiteral("synced")), qPrintable(log.reason));
    QCOMPARE(serverIds(db, QStringLiteral("received")), lane.queuedIds());
}

// Two lanes, each with its forwarder, migrate one new database together and
// fill it; a record stored later goes out when asked.
void StationForwarding::twoLanesAtOnce()
{
    const QString db = freshDatabase();
    LaneDb one(lanePath(QStringLiteral("lane1"))), two(lanePath(QStringLiteral("lane2")));
    for (int i = 0; i < 50; ++i) {
        QVERIFY(one.add(makeRecord(QStringLiteral("京E%1").arg(i), QString(), QDateTime::currentDateTime(),
                                   QStringLiteral("St1"), QStringLiteral("L1"), i)));
        QVERIFY(two.add(makeRecord(QStringLiteral("京F%1").arg(i), QString(), QDateTime::currentDateTime(),
                                   QStringLiteral("St1"), QStringLiteral("L2"), i)));
    }
    station::Forwarder first(quickOptions(one.path(), pg->settings(db)));
    station::Forwarder second(quickOptions(two.path(), pg->settings(db)));
    StateLog firstLog(&first), secondLog(&second);
    first.start();
    second.start();
    QVERIFY2(firstLog.waitFor(QStringLiteral("synced")), qPrintable(firstLog.reason));
    QVERIFY2(secondLog.waitFor(QStringLiteral("synced")), qPrintable(secondLog.reason));

    QVERIFY(one.add(makeRecord(QStringLiteral("京E99"), QString(), QDateTime::currentDateTime(),
                               QStringLiteral("St1"), QStringLiteral("L1"))));
    first.tryNow();
    QVERIFY(QTest::qWaitFor([&] { return firstLog.syncs >= 2; }, 10000));
    QCOMPARE(serverIds(db), sorted(one.queuedIds() + two.queuedIds()));
    QCOMPARE(pg->scalar(QStringLiteral("SELECT string_agg(lane || ':' || n, ',' ORDER BY lane) FROM"
                                       " (SELECT lane, count(*) AS n FROM records GROUP BY lane) AS per_lane"), db).toString(),
             QStringLiteral("L1:51,L2:50"));
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM schema_version"), db).toInt(), 1);
}

OPA_TEST_CLASS(StationForwarding)

#include "forwarding.moc"
