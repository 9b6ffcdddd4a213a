#include <QtTest>

#include <memory>

#include "support/pgserver.h"
#include "support/testrunner.h"
#include "stationrig.h"

// opacimeter-records against the station's server as a process: the
// station read as the lane file is read, and sync with its exit statuses.
class StationTool : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testsupport::PgServer> pg;
    QString lanePath, firstId;

    struct Run { int status = -1; QString out, err; };
    Run tool(QStringList arguments)
    {
        arguments.replaceInStrings("{host}", pg->socketDir()).replaceInStrings("{lane}", lanePath)
            .replaceInStrings("{id}", firstId).replaceInStrings("{csv}", dir.filePath(QStringLiteral("out.csv")));
        QProcess p;
        p.setWorkingDirectory(dir.path());  // no set.ini there
        p.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
        Run run;
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
            run = {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
        QFile csv(dir.filePath(QStringLiteral("out.csv")));
        if (csv.open(QIODevice::ReadOnly))
            run.out += QString::fromUtf8(csv.readAll());
        csv.remove();
        return run;
    }

private slots:
    void initTestCase();
    void readsTheStationAsTheLane_data();
    void readsTheStationAsTheLane();
    void sync_data();
    void sync();
    void syncNamesWhatIsSetAside();
};

void StationTool::initTestCase()
{
    OPA_START_PGSERVER(pg);
    QVERIFY(pg->createDatabase(QStringLiteral("station")));
    lanePath = dir.filePath(QStringLiteral("lane.sqlite"));
    Lane lane(lanePath);
    const TestRecord first = laneRecord(QStringLiteral("京A12345"));
    firstId = first.id;
    for (const TestRecord &r : {first, laneRecord(QStringLiteral("沪D4"), 24 * 60, QStringLiteral("1号线"), true), laneRecord(QString(), 25 * 60)})
        QVERIFY(lane.add(r));
    QCOMPARE(station::syncOnce(lanePath, pg->settings(QStringLiteral("station"))).sent, 3);
}

void StationTool::readsTheStationAsTheLane_data()
{
    QTest::addColumn<QStringList>("arguments");  // given the lane's --db, or the server's options
    QTest::newRow("list by plate and days, JSON") << QStringList{"list", "--plate", "a1", "--since", "2026-12-01", "--until", "2026-12-07", "--json"};
    QTest::newRow("show JSON") << QStringList{"show", "{id}", "--json"};
    QTest::newRow("export CSV") << QStringList{"export", "--csv", "{csv}", "--vin", "m8g"};
    QTest::newRow("show unknown id") << QStringList{"show", "0000"};
}

// The same records give the same output, exit status and error from the
// server as from the lane's file, but for where the error says they were
// looked for.
void StationTool::readsTheStationAsTheLane()
{
    QFETCH(QStringList, arguments);
    const Run lane = tool(arguments + QStringList{"--db", "{lane}"});
    Run station = tool(arguments + QStringList{"--server-host", "{host}", "--server-name", "station", "--server-user", "lane"});
    QCOMPARE(station.status, lane.status);
    QCOMPARE(station.out, lane.out);
    QCOMPARE(station.err.replace(QStringLiteral("station server %1/station").arg(pg->socketDir()), QStringLiteral("DB")),
             QString(lane.err).replace(lanePath, QStringLiteral("DB")));
    QVERIFY(!lane.out.isEmpty() || lane.status == 1);
}

void StationTool::sync_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QStringList server{"--server-host", "{host}", "--server-name", "station", "--server-user", "lane"};
    QTest::newRow("queue sent") << QStringList{"sync", "--db", "{lane}"} + server << true << 0 << "sent 3, remaining 0\n" << "";
    QTest::newRow("server down") << QStringList{"sync", "--db", "{lane}"} + server << false << 1 << "sent 0, remaining 3\n"
                                 << "opacimeter-records: 3 records remain queued: connection to server on socket";
    QTest::newRow("no lane database") << QStringList{"sync", "--db", "none.sqlite"} + server << true << 1 << "" << "lane database none.sqlite does not exist";
    QTest::newRow("no server set") << QStringList{"sync", "--db", "{lane}"} << true << 2 << "" << "sync: no station server: give --server-host";
    QTest::newRow("bad port") << QStringList{"sync", "--server-host", "{host}", "--server-port", "5432x"} << true << 2 << ""
                              << "sync: --server-port: expected a port number from 1 to 65535, got '5432x'";
    QTest::newRow("server option of verify") << QStringList{"verify", "--server-host", "{host}"} << true << 2 << "" << "verify: Unknown option 'server-host'";
}

// What a shutdown script sees: the counts, and the status that says
// whether anything is left queued; the queue as it was unless sent.
void StationTool::sync()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, serverUp);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QVERIFY(Lane(lanePath).unsend());
    QVERIFY2(serverUp || pg->stop(), qPrintable(pg->errorString()));
    const Run run = tool(arguments);
    QVERIFY2(serverUp || pg->start(), qPrintable(pg->errorString()));
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    QCOMPARE(run.err.count(QLatin1Char('\n')), err.isEmpty() ? 0 : 1);
    QCOMPARE(Lane(lanePath).pending(), status == 0 ? 0 : 3);
}

// Set-aside records are named and make the status 1 until the cause is
// mended and they are queued again.
void StationTool::syncNamesWhatIsSetAside()
{
    QVERIFY(pg->createDatabase(QStringLiteral("refusing")));
    QString error;
    QVERIFY2(migrate(pg->settings(QStringLiteral("refusing")), &error) == 2, qPrintable(error));
    QVERIFY(pg->exec(QStringLiteral("ALTER TABLE records ADD CONSTRAINT no_plate CHECK (plate IS NOT NULL)"), QStringLiteral("refusing")));
    QVERIFY(Lane(lanePath).unsend());
    const QStringList sync{"sync", "--db", "{lane}", "--server-host", "{host}", "--server-name", "refusing", "--server-user", "lane"};
    const QString refusedId = Lane(lanePath).queuedIds().at(2);  // the record without a plate
    Run run = tool(sync);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.startsWith(QStringLiteral("sent 2, remaining 0\nrefused %1: ERROR: new row for relation \"records\" violates check constraint \"no_plate\"")
                                    .arg(refusedId)), qPrintable(run.out));
    QCOMPARE(run.err, QStringLiteral("opacimeter-records: 1 records set aside by the station; mend the cause and run sync --retry-refused\n"));

    QVERIFY(pg->exec(QStringLiteral("ALTER TABLE records DROP CONSTRAINT no_plate"), QStringLiteral("refusing")));
    QVERIFY(pg->exec(QStringLiteral("UPDATE records SET hash = 'other' WHERE plate = '京A12345'"), QStringLiteral("refusing")));
    QVERIFY(Lane(lanePath).unsend());
    run = tool(sync + QStringList{"--retry-refused"});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QStringLiteral("sent 2, remaining 0\ndiffers %1: the station holds another record under this id\n").arg(firstId));
}

OPA_TEST_CLASS(StationTool)
#include "stationtool.moc"
