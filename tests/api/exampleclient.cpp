#include <QtTest>

#include "support/testrunner.h"
#include "tests/api/apirig.h"

#ifndef OPA_SOURCE_DIR
#error "OPA_SOURCE_DIR names the source folder"
#endif

// docs/api-client.py against the server: it prints readings, starts a test
// for its plate and prints the record's id once the lane reports it.
class tst_ApiExampleClient : public QObject
{
    Q_OBJECT

private slots:
    void startsTestAndPrintsRecord()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import websockets")});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
            QSKIP("python3-websockets is not installed (scripts/install-deps.sh installs it)");

        apirig::LaneStandIn lane;
        ApiServer server(&lane);
        QVERIFY(server.start(apirig::onLoopback()));
        QTimer poll;
        qint64 ms = 0;
        connect(&poll, &QTimer::timeout, [&] {
            api::Reading r;
            r.time = QDateTime::currentDateTime();
            r.monotonicMs = ms += 100;
            r.N = 3.5;
            r.K = 0.12;
            server.publishReading(r);
        });
        poll.start(100);
        lane.onStart = [&] {
            QTimer::singleShot(1200, &server, [&] {
                server.publishSeriesStarted({QStringLiteral("R24"), 4, 0.25, true, 10, {}});
                api::SeriesOutcome done;
                done.valid = true;
                done.peaksK = {1.1, 1.2, 1.15, 1.1};
                done.meanK = 1.14;
                server.publishSeriesFinished(done);
                server.publishRecord(QStringLiteral("5f0c2a1e-8e1b-4c1a-9d2e-0a1b2c3d4e5f"), true);
            });
        };

        QProcess client;
        client.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(OPA_SOURCE_DIR "/docs/api-client.py"), QStringLiteral("京a12345"),
                      QStringLiteral("--url"), QStringLiteral("ws://127.0.0.1:%1/").arg(server.port()),
                      QStringLiteral("--token"), apirig::Token, QStringLiteral("--timeout"), QStringLiteral("20")});
        QVERIFY(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 30000));
        const QString out = QString::fromUtf8(client.readAllStandardOutput());
        QVERIFY2(client.exitCode() == 0, qPrintable(out + client.readAllStandardError()));
        QVERIFY2(out.contains(QLatin1String("N   3.50 %  K 0.12 m-1")), qPrintable(out));
        QVERIFY(out.contains(QLatin1String("series finished")));
        QVERIFY(out.trimmed().endsWith(QLatin1String("record 5f0c2a1e-8e1b-4c1a-9d2e-0a1b2c3d4e5f (stored)")));
        QCOMPARE(lane.started.size(), 1);
        QCOMPARE(lane.started.first().plate, QStringLiteral("京A12345"));
    }
};

OPA_TEST_CLASS(tst_ApiExampleClient)
#include "exampleclient.moc"
