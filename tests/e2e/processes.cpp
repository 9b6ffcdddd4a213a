#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

#include "e2e/e2eharness.h"
#include "support/recordfixtures.h"
#include "records/recordstore.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

// The program as a process of its own, in a working folder of its own.
class tst_Processes : public QObject
{
    Q_OBJECT

private slots:
    // Asked to end by the signals a session's end, a service stop or Ctrl+C
    // send, under whatever box is open (a box's own event loop used to hold
    // the signal back), it closes as its window does and exits 0; the
    // stopped series' record, which the database refuses, is kept in the
    // unsaved folder on the way out.
    void closesUnderABox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("signal");
        for (const char *box : {"notice", "settings", "completion"})
            for (int signal : {SIGTERM, SIGINT, SIGHUP})
                QTest::addRow("%s, SIG%s", box, sigabbrev_np(signal)) << box << signal;
    }
    void closesUnderABox()
    {
        QFETCH(QString, box); QFETCH(int, signal);
        testsupport::ScopedWorkDir dir;
        QVERIFY(testsupport::writeFile(QStringLiteral("blocker"), {})
                && testsupport::writeFile(QStringLiteral("set.ini"), "[Server]\nIP=127.0.0.1\n[Database]\nFile=blocker/opacimeter.sqlite\n"));
        QProcess sim;
        if (box == "completion") {
            sim.start(QStringLiteral(OPA_SIM_PATH), {QStringLiteral("--calibration-delay"), QStringLiteral("100"), QStringLiteral("--quiet")});
            QVERIFY(sim.waitForReadyRead(10000));
        }
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(OPA_LANEHOST_PATH), {box});
        QByteArray said;
        QVERIFY2(QTest::qWaitFor([&] { return (said += program.readAll()).contains("open: ") || program.state() == QProcess::NotRunning; }, 30000)
                 && said.contains("open: "), said.constData());
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, qPrintable(QString::number(program.exitCode())));
        QCOMPARE(QDir(QStringLiteral("results/unsaved")).entryList(QDir::Files).size(), 1);
        sim.kill();
        sim.waitForFinished();
    }

    // Two lanes forward to one station server that stops while lane 1 runs
    // a free-acceleration test (started by the example client through the
    // API, against the simulator) and comes back: every record arrives
    // once, and the records tool lists both lanes from the server.
    void everyRecordArrivesOnce()
    {
        const QString missing = testsupport::PgServer::unavailableReason();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        if (e2e::runTool(QStringLiteral("/usr/bin/python3"), {"-c", "import websockets"}) != 0)
            QSKIP("python3-websockets is not installed (scripts/install-deps.sh installs it)");
        testsupport::PgServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorString()));
        QVERIFY(pg.createDatabase(QStringLiteral("station")));
        QProcess sim;
        sim.start(QStringLiteral(OPA_SIM_PATH), {"--scenario", "free-accel", "--peaks", "1.50,1.30,1.22,1.20,1.25",
                                                 "--period", "3500", "--quiet"});
        QVERIFY(sim.waitForReadyRead(10000));
        QTemporaryDir dirs[2];
        QProcess programs[2];
        QStringList ids;
        for (int i = 0; i < 2; ++i) {
            // Lane 1 has the meter and the API; lane 2's meter is away.
            const QString api = i ? QStringLiteral("[Api]\nEnabled=false\n")
                                  : QStringLiteral("[Api]\nEnabled=true\nListen=127.0.0.1:8900\nToken=0123456789abcdef0123456789abcdef\n");
            QVERIFY(testsupport::writeFile(dirs[i].filePath(QStringLiteral("set.ini")), QStringLiteral("[Server]\nIP=127.0.0.%1\n[Station]\nLane=%1号线\n"
                "[Database]\nServerHost=%2\nServerName=station\nServerUser=lane\n%3").arg(i + 1).arg(pg.socketDir(), api).toUtf8()));
            for (int n = 0; n < 3; ++n) {
                RecordStore file;
                TestRecord r = fixtures::record(QStringLiteral("京%1%2").arg(i).arg(n), n);
                r.lane = QStringLiteral("%1号线").arg(i + 1);
                r.seal();
                ids << r.id;
                QVERIFY(file.open(dirs[i].filePath(QStringLiteral("results/opacimeter.sqlite"))) && file.store(r));
            }
            programs[i].setWorkingDirectory(dirs[i].path());
            programs[i].start(QStringLiteral(OPA_HOST_PATH), QStringList());
            QVERIFY(programs[i].waitForStarted());
        }
        const auto onServer = [&] {
            return pg.scalar(QStringLiteral("SELECT string_agg(id, ',' ORDER BY id) FROM records"), QStringLiteral("station")).toString().split(',');
        };
        QVERIFY(QTest::qWaitFor([&] { return onServer().size() >= ids.size(); }, 20000));
        QVERIFY2(pg.stop(), qPrintable(pg.errorString()));
        QByteArray said;
        const int code = e2e::runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral(OPA_SOURCE_DIR "/docs/api-client.py"),
            QStringLiteral("京b00001"), QStringLiteral("--settings"), dirs[0].filePath(QStringLiteral("set.ini"))}, &said, 90000);
        const QString out = QString::fromUtf8(said);
        const QStringList lines = out.split(QLatin1Char('\n'));
        const QRegularExpression reading(QStringLiteral("^\\S+T\\S+  N +\\d+\\.\\d\\d %  K \\d\\.\\d\\d m-1$"));
        const auto record = QRegularExpression(QStringLiteral("\nrecord ([0-9a-f-]{36}) \\(stored\\)\n")).match(out);
        QVERIFY2(code == 0 && lines.contains(QStringLiteral("connected: program 1.0, link connected, series idle"))
                 && lines.filter(reading).size() >= 2 && out.contains(QStringLiteral("test started for 京b00001\n"))
                 && lines.filter(QStringLiteral("series finished:")).size() == 1 && record.hasMatch(), qPrintable(out));
        ids << record.captured(1);
        // The lane's forwarder has found it and failed.
        fixtures::OtherConnection lane(dirs[0].filePath(QStringLiteral("results/opacimeter.sqlite")));
        QVERIFY(QTest::qWaitFor([&] {
            return lane.value(QStringLiteral("SELECT count(*) FROM forward_queue WHERE sent IS NULL AND last_error IS NOT NULL")).toInt() > 0;
        }, 20000));
        QVERIFY2(pg.start(), qPrintable(pg.errorString()));
        ids.sort();
        QVERIFY(QTest::qWaitFor([&] { return onServer().size() >= ids.size(); }, 70000));
        QCOMPARE(onServer(), ids);  // each once: no more, no fewer

        QByteArray listed;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_RECORDS_PATH), {"list", "--json", "--server-host", pg.socketDir(), "--server-name", "station",
                                                                 "--server-user", "lane"}, &listed), 0);
        QStringList listedIds;
        QSet<QString> lanes;
        for (const QJsonValue &row : QJsonDocument::fromJson(listed).array()) {
            listedIds << row.toObject().value(QStringLiteral("id")).toString();
            lanes << row.toObject().value(QStringLiteral("lane")).toString();
        }
        listedIds.sort();
        QCOMPARE(listedIds, ids);
        QCOMPARE(lanes, (QSet<QString>{QStringLiteral("1号线"), QStringLiteral("2号线")}));
        for (QProcess &p : programs) {
            p.terminate();
            QVERIFY(p.waitForFinished(15000));
        }
        sim.kill();
        sim.waitForFinished();
    }

    // The records tool runs a whole lane without a window: it finds the
    // simulator, a test the example client starts through the API ends in
    // a stored record, and SIGTERM ends it with status 0; the record is then
    // in the lane's database as the program would have kept it.
    void laneWithoutWindow()
    {
        if (e2e::runTool(QStringLiteral("/usr/bin/python3"), {"-c", "import websockets"}) != 0)
            QSKIP("python3-websockets is not installed (scripts/install-deps.sh installs it)");
        QProcess sim;
        sim.start(QStringLiteral(OPA_SIM_PATH), {"--scenario", "free-accel", "--peaks", "1.50,1.30,1.22,1.20,1.25",
                                                 "--period", "3500", "--quiet"});
        QVERIFY(sim.waitForReadyRead(10000));
        QTemporaryDir dir;
        QVERIFY(testsupport::writeFile(dir.filePath(QStringLiteral("set.ini")),
            "[Server]\nIP=127.0.0.1\n[Api]\nEnabled=true\nListen=127.0.0.1:8900\nToken=0123456789abcdef0123456789abcdef\n"));
        QProcess lane;
        lane.setWorkingDirectory(dir.path());
        lane.setStandardErrorFile(QProcess::nullDevice());  // the frames it logs
        lane.start(QStringLiteral(OPA_RECORDS_PATH), {QStringLiteral("lane")});
        QByteArray printed;
        // The API starts after the first poll.
        QVERIFY2(QTest::qWaitFor([&] { return (printed += lane.readAll()).contains("api: listening on ws://127.0.0.1:8900/\n"); }, 15000),
                 printed.constData());
        QVERIFY(printed.contains("meter: connected 127.0.0.1\n"));
        QByteArray said;
        const int code = e2e::runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral(OPA_SOURCE_DIR "/docs/api-client.py"),
            QStringLiteral("京C00001"), QStringLiteral("--settings"), dir.filePath(QStringLiteral("set.ini"))}, &said, 90000);
        const auto record = QRegularExpression(QStringLiteral("\nrecord ([0-9a-f-]{36}) \\(stored\\)\n")).match(QString::fromUtf8(said));
        QVERIFY2(code == 0 && record.hasMatch(), said.constData());
        QVERIFY(QTest::qWaitFor([&] { return (printed += lane.readAll()).contains("record " + record.captured(1).toLatin1() + " stored\n"); }, 10000));
        ::kill(pid_t(lane.processId()), SIGTERM);
        QVERIFY(lane.waitForFinished(15000));
        QCOMPARE(lane.exitStatus(), QProcess::NormalExit);
        QCOMPARE(lane.exitCode(), 0);
        QProcess show;
        show.setWorkingDirectory(dir.path());
        show.start(QStringLiteral(OPA_RECORDS_PATH), {QStringLiteral("show"), record.captured(1)});
        QVERIFY(show.waitForFinished(15000) && show.exitCode() == 0);
        QVERIFY2(QString::fromUtf8(show.readAll()).contains(QStringLiteral("京C00001")), said.constData());
        sim.kill();
        sim.waitForFinished();
    }
};

OPA_TEST_CLASS(tst_Processes)
#include "processes.moc"
