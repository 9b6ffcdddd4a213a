#include <QtTest>

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>

#include "station/forwarder.h"
#include "station/serverdb.h"
#include "station/stationlink.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "stationrig.h"

Q_DECLARE_METATYPE(RecordFilter)

// A lane's queue reaching the station's server: order, content, exactly
// once, across an outage, and a server stopped while a record's
// transaction is open; the station's records read back
// as the lane's own history reads its file.
class tst_StationForwarding : public QObject
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
        return pg->scalar(QStringLiteral("SELECT string_agg(id, ',' ORDER BY %1) FROM records").arg(order), db).toString().split(',', Qt::SkipEmptyParts);
    }
    static QStringList lines(const QVector<RecordSummary> &rows)
    {
        QStringList out;
        const auto number = [](const std::optional<double> &v) { return v ? QString::number(*v) : QStringLiteral("-"); };
        for (const RecordSummary &r : rows)
            out << QStringList{r.id, RecordTime::text(r.started), r.plate, r.vin, r.method, r.outcome, number(r.meanK), number(r.limitK),
                               r.verdict, r.operatorName, QJsonDocument::fromJson(r.json.toUtf8()).toJson(QJsonDocument::Compact)}.join('|');
        return out;
    }

private slots:
    void initTestCase();
    void cleanup();
    void stationReadsLikeTheLane_data();
    void stationReadsLikeTheLane();
    void serverAwayThenBack();
    void serverStoppedMidTransaction_data();
    void serverStoppedMidTransaction();
};

void tst_StationForwarding::initTestCase() { OPA_START_PGSERVER(pg); }

void tst_StationForwarding::cleanup()
{
    // A test that failed half-way must not leave the next one without a server.
    if (pg && !pg->isRunning())
        QVERIFY2(pg->start(), qPrintable(pg->errorString()));
}

void tst_StationForwarding::stationReadsLikeTheLane_data()
{
    QTest::addColumn<RecordFilter>("filter");
    QTest::addColumn<bool>("withJson");
    const auto f = [](std::function<void(RecordFilter &)> set) { RecordFilter r; set(r); return r; };
    const QDate day = fixtures::record().started.date();
    QTest::newRow("with the documents") << RecordFilter() << true;
    QTest::newRow("plate and VIN parts, any case") << f([](RecordFilter &r) { r.plate = "a111"; r.vin = "wdb"; }) << false;
    QTest::newRow("plate or VIN text") << f([](RecordFilter &r) { r.text = "B2"; }) << false;
    QTest::newRow("since the next day") << f([&](RecordFilter &r) { r.since = day.addDays(1); }) << false;
    QTest::newRow("until the day, its last hour in") << f([&](RecordFilter &r) { r.until = day; }) << false;
    QTest::newRow("no verdict") << f([](RecordFilter &r) { r.verdict = "none"; }) << false;
    QTest::newRow("by plate, rising") << f([](RecordFilter &r) { r.sort = RecordFilter::Sort::Plate; r.descending = false; }) << false;
    QTest::newRow("by result, limit 2") << f([](RecordFilter &r) { r.sort = RecordFilter::Sort::Result; r.limit = 2; }) << false;
    QTest::newRow("the daily checks") << f([](RecordFilter &r) { r.kind = "check"; }) << true;
    QTest::newRow("either kind") << f([](RecordFilter &r) { r.kind.clear(); }) << false;
}

void tst_StationForwarding::stationReadsLikeTheLane()
{
    static QString db;
    static std::unique_ptr<Lane> lane;
    if (!lane) {
        db = freshDatabase();
        lane.reset(new Lane(lanePath(QStringLiteral("history"))));
        TestRecord none = laneRecord(QStringLiteral("京B22222"), 13 * 60 + 55);  // past midnight
        none.limit = {};
        none.verdict.clear();
        none.seal();
        TestRecord wdb = laneRecord(QStringLiteral("沪A11111"), 26 * 60, QStringLiteral("1号线"), true);
        wdb.vehicle.vin = QStringLiteral("WDB12345678901234");
        wdb.seal();
        // A daily check: no vehicle, no snaps, no K; its values in "check".
        TestRecord check = laneRecord(QString(), 20 * 60);
        check.kind = QString::fromLatin1(TestRecord::CheckKind);
        check.check = {{"kind", "zero"}, {"passed", true}, {"meanN", 0.12}, {"limits", QJsonObject{{"mean", 1.0}, {"max", 2.0}}}};
        check.method = QStringLiteral("zero");
        check.snaps.clear();
        check.meanK.reset();
        check.limit = {};
        check.verdict = QStringLiteral("pass");
        check.seal();
        for (const TestRecord &r : {laneRecord(QStringLiteral("京A11111"), 13 * 60), none, wdb,
                                    laneRecord(QString(), 30 * 60, QStringLiteral("1号线"), true), check})
            QVERIFY(lane->add(r));
        QCOMPARE(station::syncOnce(lane->path(), pg->settings(db)).sent, 5);
    }
    QFETCH(RecordFilter, filter); QFETCH(bool, withJson);
    RecordStore store;
    QVERIFY(store.open(lane->path(), RecordStore::Mode::ReadOnly));
    station::StationRecords station(pg->settings(db));
    const QVector<RecordSummary> rows = station.query(filter, withJson);
    QVERIFY2(station.errorString().isEmpty(), qPrintable(station.errorString()));
    QCOMPARE(lines(rows), lines(store.query(filter, withJson)));
    if (filter.kind != QLatin1String("test"))  // the check in its own list and with the tests, once
        QCOMPARE(rows.size(), filter.kind.isEmpty() ? 5 : 1);
}

// While the server is away the forwarder keeps trying and the lane keeps
// queueing, and the header's texts say so; once it is back every record
// arrives, each once, in the queue's order.
void tst_StationForwarding::serverAwayThenBack()
{
    QVERIFY(!station::StationLink(settings::StationServer(), lanePath(QStringLiteral("none"))).isActive());
    const QString db = freshDatabase();
    Lane lane(lanePath(QStringLiteral("away")));
    // Started times run backwards, so only the queue can set the order of arrival.
    for (int i = 0; i < 5; ++i)
        QVERIFY(lane.add(laneRecord(QStringLiteral("京A1234%1").arg(i), -60 * i)));
    QVERIFY2(pg->stop(), qPrintable(pg->errorString()));

    station::StationLink link(quickOptions(lane.path(), pg->settings(db)));
    QStringList shown;
    connect(&link, &station::StationLink::statusChanged, this, [&](const QString &text) { shown << text; });
    QVERIFY(QTest::qWaitFor([&] { return link.statusText().startsWith(QStringLiteral("数据库连接失败：")); }, 10000));
    QVERIFY2(link.statusText().contains(pg->socketDir()), qPrintable(link.statusText()));
    QVERIFY(lane.addMany(QStringLiteral("京C0000%1"), 5, 5));
    link.tryNow();
    QVERIFY(QTest::qWaitFor([&] { return shown.contains(QStringLiteral("待上传 10 条")); }, 10000));

    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    QVERIFY(QTest::qWaitFor([&] { return link.statusText() == QStringLiteral("记录已同步"); }, 10000));
    QCOMPARE(lane.pending(), 0);
    QCOMPARE(serverIds(db, QStringLiteral("received")), lane.queuedIds());
}

void tst_StationForwarding::serverStoppedMidTransaction_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("stopped") << "fast";
    QTest::newRow("killed") << "immediate";
}

// The server goes while a record's insert waits inside its transaction:
// nothing of it stays on the server, the lane keeps it queued with the
// reason, and it goes out once when asked again.
void tst_StationForwarding::serverStoppedMidTransaction()
{
    QFETCH(QString, mode);
    const QString db = freshDatabase();
    QString error;
    QVERIFY2(migrate(pg->settings(db), &error) == 3, qPrintable(error));
    QVERIFY(pg->exec(QStringLiteral("CREATE FUNCTION hold() RETURNS trigger LANGUAGE plpgsql AS"
                                    " $$ BEGIN PERFORM pg_advisory_xact_lock_shared(7); RETURN NEW; END $$"), db));
    QVERIFY(pg->exec(QStringLiteral("CREATE TRIGGER hold BEFORE INSERT ON records FOR EACH ROW EXECUTE FUNCTION hold()"), db));
    QVERIFY2(station::openServer(pg->settings(db, QStringLiteral("postgres")), QStringLiteral("holder"), {}, &error), qPrintable(error));
    QVERIFY(QSqlQuery(QSqlDatabase::database(QStringLiteral("holder"))).exec(QStringLiteral("SELECT pg_advisory_lock(7)")));
    Lane lane(lanePath(QStringLiteral("mid-") + mode));
    QVERIFY(lane.addMany(QStringLiteral("京D0000%1"), 3));

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

OPA_TEST_CLASS(tst_StationForwarding)

#include "forwarding.moc"
