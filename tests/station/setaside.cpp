#include <QtTest>

#include <memory>

#include "station/forwarder.h"
#include "station/queuesender.h"
#include "station/stationlink.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "stationrig.h"

// Records the station will not take as they are: refused for good and set
// aside with the server's reason while the rest go on, a refusal of the
// moment kept queued, copies under the same id compared by their hash; and
// the header strip's texts for them and for a server set anew.
class StationSetAside : public QObject
{
    Q_OBJECT
    QTemporaryDir lanes;
    std::unique_ptr<testsupport::PgServer> pg;
    int serial = 0;

    QString freshDatabase()
    {
        const QString name = QStringLiteral("aside%1").arg(++serial);
        QString error;
        return pg->createDatabase(name) && migrate(pg->settings(name), &error) == 2 ? name : QString();
    }
    QString lanePath() { return lanes.filePath(QStringLiteral("lane%1.sqlite").arg(++serial)); }
    int serverCount(const QString &db) { return pg->scalar(QStringLiteral("SELECT count(*) FROM records"), db).toInt(); }
    // The server refuses records of plate 'plate' with 'state', as a check,
    // a bad value or a full index would.
    bool refusePlate(const QString &db, const QString &plate, const QString &state)
    {
        return pg->exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                                       " IF NEW.plate = '%1' THEN RAISE EXCEPTION 'plate % refused', NEW.plate USING ERRCODE = '%2';"
                                       " END IF; RETURN NEW; END $$").arg(plate, state), db)
               && pg->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON records FOR EACH ROW EXECUTE FUNCTION refuse()"), db);
    }

private slots:
    void initTestCase() { OPA_START_PGSERVER(pg); }
    void refusalInTheMiddleOfABatch_data();
    void refusalInTheMiddleOfABatch();
    void copiesUnderTheSameId_data();
    void copiesUnderTheSameId();
    void stripShowsRefusalsAndEncryption();
    void serverSetAnewConnectsAtOnce();
};

void StationSetAside::refusalInTheMiddleOfABatch_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("forGood");
    QTest::newRow("check constraint (23514)") << "23514" << true;
    QTest::newRow("value out of range (22003)") << "22003" << true;
    QTest::newRow("record too large (54000)") << "54000" << true;
    QTest::newRow("server shutting down (57P01)") << "57P01" << false;
    QTest::newRow("disk full (53100)") << "53100" << false;
}

// The third of five records, all in one batch, is refused: for good, it is
// set aside with the server's reason and the four others arrive; for the
// moment, all five stay queued and nothing is set aside.
void StationSetAside::refusalInTheMiddleOfABatch()
{
    QFETCH(QString, state);
    QFETCH(bool, forGood);
    const QString db = freshDatabase();
    QVERIFY(refusePlate(db, QStringLiteral("京X00002"), state));
    Lane lane(lanePath());
    QVERIFY(lane.addMany(QStringLiteral("京X0000%1"), 5));
    const QString refusedId = lane.queuedIds().at(2);

    const station::SyncResult result = station::syncOnce(lane.path(), pg->settings(db));
    QCOMPARE(result.sent, forGood ? 4 : 0);
    QCOMPARE(result.refusedIds, forGood ? QStringList{refusedId} : QStringList());
    QCOMPARE(result.remaining, forGood ? 0 : 5);
    const QString reason = forGood ? result.refusedReasons.value(0) : result.error;
    QVERIFY2(reason.contains(QStringLiteral("plate 京X00002 refused")), qPrintable(reason));
    QCOMPARE(serverCount(db), forGood ? 4 : 0);
    QCOMPARE(lane.pending(), forGood ? 1 : 5);  // the one set aside stays unsent
}

void StationSetAside::copiesUnderTheSameId_data()
{
    QTest::addColumn<QString>("serverHash");  // empty: the lane's own
    QTest::addColumn<bool>("differs");
    QTest::newRow("equal copy counts as sent") << "" << false;
    QTest::newRow("different copy is caught") << "0badc0ffee" << true;
}

// The server already holds the second record under its id, as when the
// lane lost the acknowledgement; it keeps its copy either way.
void StationSetAside::copiesUnderTheSameId()
{
    QFETCH(QString, serverHash);
    QFETCH(bool, differs);
    const QString db = freshDatabase();
    Lane lane(lanePath());
    QVERIFY(lane.addMany(QStringLiteral("京Z0000%1"), 3));
    const QString id = lane.queuedIds().at(1);
    QVERIFY(station::syncOnce(lane.path(), pg->settings(db)).error.isEmpty());
    if (!serverHash.isEmpty())
        QVERIFY(pg->exec(QStringLiteral("UPDATE records SET hash = '%1' WHERE id = '%2'").arg(serverHash, id), db));
    QVERIFY(lane.unsend());
    const QString received = QStringLiteral("SELECT string_agg(received::text || hash, ',' ORDER BY id) FROM records");
    const QString before = pg->scalar(received, db).toString();

    const station::SyncResult result = station::syncOnce(lane.path(), pg->settings(db));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.sent, differs ? 2 : 3);
    QCOMPARE(result.refusedIds, differs ? QStringList{id} : QStringList());
    QCOMPARE(result.refusedReasons, differs ? QStringList{QStringLiteral("站端记录与本机不一致")} : QStringList());
    QCOMPARE(lane.pending(), differs ? 1 : 0);  // set aside, unsent
    QCOMPARE(pg->scalar(received, db).toString(), before);
}

// The strip counts what is set aside, its tooltip names each record and
// says the connection is not encrypted (a unix socket).
void StationSetAside::stripShowsRefusalsAndEncryption()
{
    const QString db = freshDatabase();
    QVERIFY(refusePlate(db, QStringLiteral("京W00001"), QStringLiteral("23514")));
    Lane lane(lanePath());
    QVERIFY(lane.addMany(QStringLiteral("京W0000%1"), 3));
    station::StationLink link(quickOptions(lane.path(), pg->settings(db)));
    QVERIFY2(QTest::qWaitFor([&] { return link.statusText() == QStringLiteral("1 条记录被站端拒绝"); }, 10000), qPrintable(link.statusText()));
    const QStringList tip = link.toolTipText().split('\n');
    QCOMPARE(tip.value(1), QStringLiteral("未加密"));
    QVERIFY2(tip.value(2).startsWith(lane.queuedIds().at(1) + QStringLiteral("：")) && tip.value(2).contains("plate 京W00001 refused"),
             qPrintable(tip.value(2)));

    QVERIFY(lane.addMany(QStringLiteral("京V0000%1"), 1));
    QVERIFY2(pg->stop(), qPrintable(pg->errorString()));
    link.tryNow();
    QVERIFY2(QTest::qWaitFor([&] { return link.statusText().startsWith(QStringLiteral("1 条记录被站端拒绝，数据库连接失败：")); }, 10000),
             qPrintable(link.statusText()));
    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
}

// A server set in the settings is connected to at once, with nothing
// queued; taking it away again stops forwarding and empties the strip.
void StationSetAside::serverSetAnewConnectsAtOnce()
{
    const QString db = freshDatabase();
    Lane lane(lanePath());
    station::ForwardOptions options = quickOptions(lane.path(), settings::StationServer());
    options.idlePollMs = 60000;
    station::StationLink link(options);
    QVERIFY(!link.isActive());
    settings::StationServer wrong = pg->settings(db);
    wrong.name = QStringLiteral("nosuchdb");
    link.setServer(wrong);
    QVERIFY2(QTest::qWaitFor([&] { return link.statusText().contains(QLatin1String("\"nosuchdb\" does not exist")); }, 10000),
             qPrintable(link.statusText()));
    link.setServer(pg->settings(db));
    QVERIFY2(QTest::qWaitFor([&] { return link.toolTipText() == QStringLiteral("记录已同步\n未加密"); }, 10000), qPrintable(link.toolTipText()));
    link.setServer(settings::StationServer());
    QVERIFY(!link.isActive());
    QCOMPARE(link.statusText(), QString());
}

OPA_TEST_CLASS(StationSetAside)

#include "setaside.moc"
