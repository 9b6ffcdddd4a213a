#include <QtTest>

#include "support/testrunner.h"

#include "net/linkkeeper.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"

using discoverytest::loopback;
using testsupport::LoopbackServer;
using State = LinkKeeper::State;

// The reconnect cycle against a loopback server, with polls every 100 ms as
// the window makes them.
class tst_Reconnect : public QObject
{
    Q_OBJECT

    struct Rig {
        SocketClient client;
        LinkKeeper keeper{&client};
        QTimer polls;
        Rig()
        {
            QObject::connect(&polls, &QTimer::timeout, &keeper, &LinkKeeper::onPolled);
            // The window's part of the hand-over.
            QObject::connect(&client, &SocketClient::beforeConnect, &client,
                             &SocketClient::connectToServer);
            polls.start(100);
        }
        bool connectTo(int host)
        {
            client.connectToServer(loopback(host));
            return QTest::qWaitFor([&] { return keeper.state() == State::Connected; }, 5000);
        }
    };

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
    }

    void lostLinkComesBack_data()
    {
        QTest::addColumn<bool>("serverCloses");  // else it falls silent
        QTest::newRow("connection closed") << true;
        QTest::newRow("no reply for 3 s") << false;
    }
    void lostLinkComesBack()
    {
        QFETCH(bool, serverCloses);
        LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        Rig rig;
        QVERIFY(rig.connectTo(1));
        QVERIFY(server.waitForClients(1));
        if (serverCloses)
            server.lastClient()->abort();
        QVERIFY(QTest::qWaitFor([&] { return rig.keeper.state() == State::Retrying; }, 5000));
        QTRY_VERIFY(rig.keeper.valuesStale());
        QVERIFY(server.waitForClients(2));
        QTRY_COMPARE(rig.keeper.state(), State::Connected);
        QCOMPARE(rig.keeper.address(), loopback(1));
    }

    // A server that takes every connection and drops it at once must not
    // turn the retrying into a busy loop.
    void attemptsStayAtOneASecond()
    {
        LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        connect(&server.server(), &QTcpServer::newConnection, this,
                [&] { server.lastClient()->abort(); });
        Rig rig;
        rig.client.connectToServer(loopback(1));
        QVERIFY(!QTest::qWaitFor([&] { return server.clientCount() > 5; }, 3500));
        QVERIFY(server.clientCount() >= 2);
    }

    // Five tries of the known address, then a sweep finds the server's new home.
    void sweepAfterFiveTries()
    {
        auto server = std::make_unique<LoopbackServer>();
        QVERIFY(server->listen(loopback(1)));
        Rig rig;
        QVERIFY(rig.connectTo(1));
        QSignalSpy states(&rig.keeper, &LinkKeeper::stateChanged);
        server = std::make_unique<LoopbackServer>();
        QVERIFY(server->listen(loopback(42)));
        QVERIFY(QTest::qWaitFor([&] { return rig.keeper.address() == loopback(42); }, 10000));
        QCOMPARE(states.at(0).at(0).value<State>(), State::Retrying);
        QCOMPARE(states.at(1).at(0).value<State>(), State::Sweeping);
    }
};

OPA_TEST_CLASS(tst_Reconnect)
#include "reconnect.moc"
