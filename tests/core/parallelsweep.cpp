#include <QtTest>

#include "support/testrunner.h"

#include <memory>

#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"

using discoverytest::SilentHost;
using discoverytest::loopback;
using testsupport::LoopbackServer;

// The sweep probes the whole /24 at once yet settles on the host a probe of
// one host after the other would have found.
class tst_ParallelSweep : public QObject
{
    Q_OBJECT

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
        SocketClient::overrideProbeWait(0);
    }

    void lowestAcceptingHostWins_data()
    {
        QTest::addColumn<QList<int>>("servers");
        QTest::addColumn<int>("winner");
        QTest::newRow("several accept") << QList<int>{200, 12, 30} << 12;
        QTest::newRow("empty subnet") << QList<int>{} << 0;
    }
    void lowestAcceptingHostWins()
    {
        QFETCH(QList<int>, servers);
        QFETCH(int, winner);
        std::vector<std::unique_ptr<LoopbackServer>> listening;
        for (int host : servers) {
            listening.push_back(std::make_unique<LoopbackServer>());
            QVERIFY(listening.back()->listen(loopback(host)));
        }
        SocketClient client;
        QSignalSpy heard(&client, &SocketClient::beforeConnect);
        QSignalSpy ended(&client, &SocketClient::sweepEnded);
        QVERIFY(client.findServer());
        // Far below the 12.75 s that one probe after another took.
        QVERIFY(ended.wait(2000));
        QCOMPARE(heard.count(), winner ? 1 : 0);
        if (winner)
            QCOMPARE(heard.at(0).at(0).toString(), loopback(winner));
        // Every probe is closed by now, and not one byte went out on any.
        for (auto &server : listening) {
            QVERIFY(server->waitForClients(1));
            QTRY_COMPARE(server->lastClient()->state(), QAbstractSocket::UnconnectedState);
            QVERIFY(server->received().isEmpty());
        }
    }

    // Host 3 drops the first handshake and takes the retry about a second
    // later; host 5 accepts at once, yet 3 is waited for and wins.
    void slowLowerHostBeatsQuickHigherOne()
    {
        SocketClient::overrideProbeWait(3000);
        SilentHost slow;
        QVERIFY(slow.open(loopback(3)));
        LoopbackServer quick;
        QVERIFY(quick.listen(loopback(5)));
        SocketClient client;
        QSignalSpy heard(&client, &SocketClient::beforeConnect);
        QVERIFY(client.findServer());
        QVERIFY(quick.waitForClients(1));
        QVERIFY(slow.releaseFiller());
        QVERIFY(heard.wait(5000));
        QCOMPARE(heard.at(0).at(0).toString(), loopback(3));
    }
};

OPA_TEST_CLASS(tst_ParallelSweep)
#include "parallelsweep.moc"
