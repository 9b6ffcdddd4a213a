#include <QtTest>

#include <list>
#include <memory>

#include "net/localaddress.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using Addresses = QList<QHostAddress>;
using Interfaces = QList<InterfaceAddresses>;
using discoverytest::SilentHost;
using discoverytest::loopback;
using testsupport::LoopbackServer;
using testsupport::hex;
Q_DECLARE_METATYPE(Addresses)
Q_DECLARE_METATYPE(Interfaces)

namespace {

Addresses addresses(const QStringList &texts)
{
    Addresses result;
    for (const QString &text : texts)
        result.append(QHostAddress(text));
    return result;
}

InterfaceAddresses iface(bool upAndRunning, const QStringList &texts)
{
    return {upAndRunning, addresses(texts)};
}

// Waits for every sweep to end and takes in what they announced.
bool sweepsDone()
{
    const bool done = QThreadPool::globalInstance()->waitForDone(20000);
    QCoreApplication::sendPostedEvents();
    return done;
}

} // namespace

// The client against stand-in servers on loopback: the data connection, the
// sweep of 127.0.0.x from the local address 127.0.0.7, and the choice of
// the local address itself.
class tst_SocketClient : public QObject
{
    Q_OBJECT

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(sweepsDone());  // no sweep runs into the next test
        SocketClient::overrideLocalAddress({});
    }

    // Commands written before the connection is up are dropped, not queued.
    void nothingWrittenWhileDisconnected()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        SocketClient client;
        QSignalSpy ready(&client, &SocketClient::findEnableReady);
        client.onSendToServer(hex("213900A6"));
        client.connectToServer(QStringLiteral("127.0.0.1"));
        client.onSendToServer(hex("213800A7"));
        QVERIFY(ready.wait(5000));
        client.onSendToServer(hex("213300AC"));
        QVERIFY(server.waitForReceived(4));
        QCOMPARE(server.received(), hex("213300AC"));
    }

    // A frame split across reads arrives whole; the part of a frame left
    // from a dropped connection is not glued to the next one's bytes.
    void framesAcrossReads()
    {
        const QByteArray reply = testsupport::measurementReply(1234, 100, 300, 25, 30, 2048);
        const QByteArray done = hex("063900C1");
        LoopbackServer server;
        QVERIFY(server.listen());
        SocketClient client;
        QSignalSpy frames(&client, &SocketClient::sendParsePack);
        client.connectToServer(QStringLiteral("127.0.0.1"));
        QVERIFY(server.waitForClients(1));
        server.send(reply.left(5));
        QVERIFY(QTest::qWaitFor([&] { return client.receiveBuffer().size() == 5; }, 5000));
        server.send(reply.mid(5) + done + reply.left(5));
        QVERIFY(QTest::qWaitFor([&] { return frames.count() == 2; }, 5000));
        QCOMPARE(frames.at(0).at(0).toByteArray(), reply);
        QCOMPARE(frames.at(1).at(0).toByteArray(), done);

        QVERIFY(QTest::qWaitFor([&] { return client.receiveBuffer().size() == 5; }, 5000));
        client.connectToServer(QStringLiteral("127.0.0.1"));
        QVERIFY(server.waitForClients(2));
        server.send(done);
        QVERIFY(frames.wait(5000));
        QCOMPARE(frames.at(2).at(0).toByteArray(), done);
    }

    void sweep_data()
    {
        QTest::addColumn<QList<int>>("listening");
        QTest::addColumn<QList<int>>("silent");  // take the probe, never answer
        QTest::addColumn<int>("found");          // 0: nothing

        QTest::newRow("one host") << QList<int>{42} << QList<int>{} << 42;
        QTest::newRow("the lowest of several") << QList<int>{9, 5, 200} << QList<int>{} << 5;
        QTest::newRow("its own host number") << QList<int>{0, 7, 8} << QList<int>{} << 7;
        QTest::newRow("host 255, never 0") << QList<int>{0, 255} << QList<int>{} << 255;
        QTest::newRow("past a silent host") << QList<int>{4} << QList<int>{3} << 4;
        QTest::newRow("empty subnet") << QList<int>{} << QList<int>{} << 0;
    }

    // The sweep ends, and announces the lowest host that accepted.
    void sweep()
    {
        QFETCH(QList<int>, listening);
        QFETCH(QList<int>, silent);
        QFETCH(int, found);
        std::list<LoopbackServer> servers;
        for (int host : listening) {
            servers.emplace_back();
            QVERIFY(servers.back().listen(loopback(host)));
        }
        std::list<SilentHost> silentHosts;
        for (int host : silent) {
            silentHosts.emplace_back();
            QVERIFY(silentHosts.back().open(loopback(host)));
        }
        SocketClient client;
        QObject receiver;  // announcements come queued, as they reach the window
        QStringList announced;
        connect(&client, &SocketClient::beforeConnect, &receiver,
                [&](const QString &ip) { announced << ip; });
        client.findServer();
        QVERIFY(sweepsDone());
        QCOMPARE(announced, found ? QStringList{loopback(found)} : QStringList{});
        QCOMPARE(client.serverAddress(), found ? loopback(found) : QString());
    }

    // A client destroyed while its sweep waits on silent hosts ends the sweep.
    void destroyedMidSweep()
    {
        auto client = std::make_unique<SocketClient>();
        {
            // With an earlier hit the sweep reaches for its client at the end.
            LoopbackServer server;
            QVERIFY(server.listen(loopback(42)));
            client->findServer();
            QVERIFY(sweepsDone());
            QCOMPARE(client->serverAddress(), loopback(42));
        }
        SilentHost everywhere;  // each probe now waits its full time: ~13 s in all
        QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
        client->findServer();
        client.reset();
        QVERIFY2(QThreadPool::globalInstance()->waitForDone(2000), "the sweep outlived its client");
    }

    void localAddress_data()
    {
        QTest::addColumn<Addresses>("lookup");
        QTest::addColumn<Interfaces>("interfaces");
        QTest::addColumn<QString>("chosen");

        const Interfaces lan{iface(true, {"127.0.0.1", "::1"}), iface(true, {"fe80::1", "192.168.3.20"})};
        QTest::newRow("first IPv4 of the lookup that is not loopback")
            << addresses({"fe80::1", "127.0.1.1", "172.16.0.9", "10.0.0.5"}) << lan << "172.16.0.9";
        QTest::newRow("lookup gives loopback only")
            << addresses({"127.0.1.1", "::1"}) << lan << "192.168.3.20";
        QTest::newRow("first interface up with an IPv4 that is not loopback")
            << Addresses{} << Interfaces{iface(false, {"192.168.9.9"}), iface(true, {"fe80::2"}),
                                         iface(true, {"127.0.0.2", "10.1.2.3"}), lan[1]}
            << "10.1.2.3";
        QTest::newRow("nothing to sweep from")
            << addresses({"127.0.1.1", "2001:db8::7"})
            << Interfaces{lan[0], iface(false, {"192.168.3.20"}), iface(true, {"2001:db8::7"})} << "";
    }

    void localAddress()
    {
        QFETCH(Addresses, lookup);
        QFETCH(Interfaces, interfaces);
        QFETCH(QString, chosen);
        QCOMPARE(chooseLocalIPv4(lookup, interfaces), chosen);
    }

    // Loopback is up wherever the tests run, also in a network namespace.
    void systemInterfacesShowLoopback()
    {
        bool found = false;
        for (const InterfaceAddresses &entry : systemInterfaces())
            found = found || (entry.upAndRunning
                              && entry.addresses.contains(QHostAddress(QHostAddress::LocalHost)));
        QVERIFY(found);
    }
};

OPA_TEST_CLASS(tst_SocketClient)
#include "socketclient.moc"
