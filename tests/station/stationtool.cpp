#include <QtTest>

#include <memory>

#include "support/pgserver.h"
#include "support/testrunner.h"
#include "stationrig.h"

// opacimeter-records' sync against the station's server as a process: its
// counts, exit statuses and the records it sets aside.
class tst_StationTool : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testsupport::PgServer> pg;
    QString lanePath, firstId;

    struct Run { int status = -1; QString out, err; };
    Run tool(QStringList arguments)
    {
        arguments.replaceInStrings("{host}", pg->socketDir()).replaceInStrings("{lane}", lanePath);
        QProcess p;
        p.setWorkingDirectory(dir.path());  // no set.ini there
        p.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
        Run run;
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
            run = {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
        return run;
    }

private slots:
    void initTestCase();
    void sync_data();
    void sync();
    void syncNamesWhatIsSetAside();
};

void tst_StationTool::initTestCase()
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

void tst_StationTool::sync_data()
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
}

// What a shutdown script sees: the counts, and the status that says
// whether anything is left queued; the queue as it was unless sent.
void tst_StationTool::sync()
{
    QFETCH(QStringList, arguments); QFETCH(bool, serverUp); QFETCH(int, status); QFETCH(QString, out); QFETCH(QString, err);
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
void tst_StationTool::syncNamesWhatIsSetAside()
{
    QVERIFY(pg->createDatabase(QStringLiteral("refusing")));
    QString error;
    QVERIFY2(migrate(pg->settings(QStringLiteral("refusing")), &error) == 3, qPrintable(error));
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

OPA_TEST_CLASS(tst_StationTool)
#include "stationtool.moc"
