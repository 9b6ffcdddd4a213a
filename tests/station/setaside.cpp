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
class tst_StationSetAside : public QObject
{
    Q_OBJECT
    QTemporaryDir lanes;
    std::unique_ptr<testsupport::PgServer> pg;
    int serial = 0;

    QString freshDatabase()
    {
        const QString name = QStringLiteral("aside%1").arg(++serial);
        QString error;
        return pg->createDatabase(name) && migrate(pg->settings(name), &error) == 3 ? name : QString();
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
    void stripShowsRefusalsAndEncryption();
    void serverSetAnewConnectsAtOnce();
};

void tst_StationSetAside::refusalInTheMiddleOfABatch_data()
{
    QTest::addColumn<QString>("state");       // the server's refusal of the third record
    QTest::addColumn<QString>("serverHash");  // the second already on the server: "own" or another
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("asideAt");         // -1: nothing set aside
    QTest::addColumn<QString>("reason");
    const QString refused = QStringLiteral("plate 京X00002 refused");
    QTest::newRow("check constraint (23514)") << "23514" << "" << 4 << 2 << refused;
    QTest::newRow("value out of range (22003)") << "22003" << "" << 4 << 2 << refused;
    QTest::newRow("record too large (54000)") << "54000" << "" << 4 << 2 << refused;
    QTest::newRow("server shutting down (57P01)") << "57P01" << "" << 0 << -1 << refused;
    QTest::newRow("disk full (53100)") << "53100" << "" << 0 << -1 << refused;
    QTest::newRow("equal copy counts as sent") << "" << "own" << 5 << -1 << "";
    QTest::newRow("different copy is caught") << "" << "0badc0ffee" << 4 << 1 << "站端记录与本机不一致";
}

// Five records in one batch. The third refused for good is set aside with
// the server's reason and the four others arrive; refused for the moment,
// all five stay queued. When the server already holds the second under its
// id, as when the lane lost the acknowledgement, an equal copy counts as
// sent and another is set aside; the server keeps its copy either way.
void tst_StationSetAside::refusalInTheMiddleOfABatch()
{
    QFETCH(QString, state); QFETCH(QString, serverHash); QFETCH(int, sent); QFETCH(int, asideAt); QFETCH(QString, reason);
    const QString db = freshDatabase();
    Lane lane(lanePath());
    QVERIFY(lane.addMany(QStringLiteral("京X0000%1"), 5));
    const QStringList ids = lane.queuedIds();
    const QString received = QStringLiteral("SELECT string_agg(received::text || hash, ',' ORDER BY id) FROM records");
    QString before;
    if (state.isEmpty()) {
        QVERIFY(station::syncOnce(lane.path(), pg->settings(db)).error.isEmpty());
        if (serverHash != QLatin1String("own"))
            QVERIFY(pg->exec(QStringLiteral("UPDATE records SET hash = '%1' WHERE id = '%2'").arg(serverHash, ids.at(1)), db));
        QVERIFY(lane.unsend());
        before = pg->scalar(received, db).toString();
    } else {
        QVERIFY(refusePlate(db, QStringLiteral("京X00002"), state));
    }

    const station::SyncResult result = station::syncOnce(lane.path(), pg->settings(db));
    const QStringList aside = asideAt < 0 ? QStringList() : QStringList{ids.at(asideAt)};
    QCOMPARE(QStringLiteral("sent %1, remaining %2").arg(result.sent).arg(result.remaining), QStringLiteral("sent %1, remaining %2").arg(sent).arg(5 - sent - aside.size()));
    QCOMPARE(result.refusedIds, aside);
    QCOMPARE(result.error.isEmpty(), sent > 0);
    const QString said = result.error + result.refusedReasons.join(QLatin1Char('|'));
    QVERIFY2(state.isEmpty() ? said == reason : said.contains(reason), qPrintable(said));
    QCOMPARE(lane.pending(), 5 - sent);  // the one set aside stays unsent
    if (state.isEmpty())
        QCOMPARE(pg->scalar(received, db).toString(), before);
    else
        QCOMPARE(serverCount(db), sent);
}

// The strip counts what is set aside, its tooltip names each record and
// says the connection is not encrypted (a unix socket).
void tst_StationSetAside::stripShowsRefusalsAndEncryption()
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
void tst_StationSetAside::serverSetAnewConnectsAtOnce()
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

OPA_TEST_CLASS(tst_StationSetAside)

#include "setaside.moc"
