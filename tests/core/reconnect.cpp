#include <QtTest>

#include "support/testrunner.h"

#include "net/linkkeeper.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"

using discoverytest::loopback;
using State = LinkKeeper::State;

// The parallel sweep's choice and the reconnect cycle, on 127.0.0.x.
class tst_Reconnect : public QObject
{
    Q_OBJECT

    // Polled every 100 ms, and a sweep's hit connected to, as the window does.
    struct Rig {
        SocketClient client;
        LinkKeeper keeper{&client};
        QTimer polls;
        explicit Rig(int host)
        {
            QObject::connect(&polls, &QTimer::timeout, &keeper, &LinkKeeper::onPolled);
            QObject::connect(&client, &SocketClient::beforeConnect, &client,
                             &SocketClient::connectToServer);
            polls.start(100);
            client.connectToServer(loopback(host));
        }
        bool reaches(State s) { return QTest::qWaitFor([&] { return keeper.state() == s; }, 5000); }
    };

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
        SocketClient::overrideProbeWait(0);
    }

    // Host 3 drops the first handshake and takes the retry about a second
    // later; host 5 accepts at once, yet 3 is waited for and wins.
    void slowLowerHostBeatsQuickHigherOne()
    {
        SocketClient::overrideProbeWait(3000);
        discoverytest::SilentHost slow;
        testsupport::LoopbackServer quick;
        QVERIFY(slow.open(loopback(3)) && quick.listen(loopback(5)));
        SocketClient client;
        // Heard on this thread: the sweep announces from the pool's.
        QStringList heard;
        connect(&client, &SocketClient::beforeConnect, this, [&](const QString &ip) { heard << ip; });
        client.findServer();
        QVERIFY(quick.waitForClients(1) && slow.releaseFiller());
        QVERIFY(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 5000));
        QCOMPARE(heard, QStringList{loopback(3)});
    }

    // A server that stops answering is left after 3 s and connected again.
    void silentServerRetried()
    {
        testsupport::LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        Rig rig(1);
        QVERIFY(rig.reaches(State::Connected) && rig.reaches(State::Retrying));
        QVERIFY(rig.keeper.valuesStale());
        QVERIFY(server.waitForClients(2) && rig.reaches(State::Connected));
    }

    // One that takes every connection and drops it at once must not turn
    // the retrying into a busy loop.
    void attemptsStayAtOneASecond()
    {
        testsupport::LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        connect(&server.server(), &QTcpServer::newConnection, this,
                [&] { server.lastClient()->abort(); });
        Rig rig(1);
        QVERIFY(!QTest::qWaitFor([&] { return server.clientCount() > 5; }, 3500));
        QVERIFY(server.clientCount() >= 2);
    }

    // Five tries of the known address, then a sweep finds the server's new home.
    void sweepAfterFiveTries()
    {
        auto server = std::make_unique<testsupport::LoopbackServer>();
        QVERIFY(server->listen(loopback(1)));
        Rig rig(1);
        QVERIFY(rig.reaches(State::Connected));
        server = std::make_unique<testsupport::LoopbackServer>();
        QVERIFY(server->listen(loopback(42)));
        QVERIFY(QTest::qWaitFor([&] { return rig.keeper.address() == loopback(42); }, 10000));
    }
};

OPA_TEST_CLASS(tst_Reconnect)
#include "reconnect.moc"
