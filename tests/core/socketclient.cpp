#include <QtTest>

#include "net/localaddress.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using discoverytest::loopback;

// The client against stand-in servers on loopback: the data connection, the
// sweep of 127.0.0.x from the local address 127.0.0.7, and the choice of
// the local address itself.
class tst_SocketClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanupTestCase() { SocketClient::overrideLocalAddress({}); }

    // Commands sent before the connection is up are dropped, not queued for
    // it; a frame split across reads arrives whole.
    void dataConnection()
    {
        const QByteArray reply = testsupport::measurementReply(1234, 100, 300, 25, 30, 2048);
        testsupport::LoopbackServer server;
        QVERIFY(server.listen());
        SocketClient client;
        QSignalSpy ready(&client, &SocketClient::findEnableReady);
        QSignalSpy frames(&client, &SocketClient::sendParsePack);
        client.connectToServer(QStringLiteral("127.0.0.1"));
        client.onSendToServer(testsupport::hex("213800A7"));
        QVERIFY(ready.wait(5000));
        client.onSendToServer(testsupport::hex("213300AC"));
        QVERIFY(server.waitForReceived(4));
        QCOMPARE(server.received(), testsupport::hex("213300AC"));

        server.send(reply.left(5));
        QVERIFY(QTest::qWaitFor([&] { return client.receiveBuffer().size() == 5; }, 5000));
        server.send(reply.mid(5));
        QVERIFY(frames.wait(5000));
        QCOMPARE(frames.at(0).at(0).toByteArray(), reply);
    }

    void sweep_data()
    {
        QTest::addColumn<QList<int>>("listening");
        QTest::addColumn<int>("found");  // 0: nothing

        QTest::newRow("the lowest of several") << QList<int>{200, 9, 5} << 5;
        QTest::newRow("255, but never 0") << QList<int>{0, 255} << 255;
        QTest::newRow("empty subnet") << QList<int>{} << 0;
    }

    // The sweep ends, in a blink since all hosts are probed at once, and
    // announces the lowest host that accepted.
    void sweep()
    {
        QFETCH(QList<int>, listening); QFETCH(int, found);
        QObject servers;
        for (int host : listening)
            QVERIFY((new testsupport::LoopbackServer(&servers))->listen(loopback(host)));
        SocketClient client;
        QSignalSpy announced(&client, &SocketClient::beforeConnect);
        client.findServer();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(2000));  // one host after another took 12.75 s
        QCOMPARE(announced.count(), found ? 1 : 0);
        QCOMPARE(client.serverAddress(), found ? loopback(found) : QString());
    }

    void localAddress_data()
    {
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<QString>("interfaces");  // each "+" up and running or "-", addresses
        QTest::addColumn<QString>("chosen");

        const QString lan = QStringLiteral("+127.0.0.1,::1 +fe80::1,192.168.3.20");
        QTest::newRow("lookup: first IPv4 not loopback")
            << "fe80::1,127.0.1.1,172.16.0.9,10.0.0.5" << lan << "172.16.0.9";
        QTest::newRow("lookup: loopback only") << "127.0.1.1,::1" << lan << "192.168.3.20";
        QTest::newRow("first interface up with an IPv4 not loopback")
            << "" << "-192.168.9.9 +fe80::2 +127.0.0.2,10.1.2.3 +10.9.9.9" << "10.1.2.3";
        QTest::newRow("nothing") << "127.0.1.1" << "+127.0.0.1 -192.168.3.20 +2001:db8::7" << "";
    }

    void localAddress()
    {
        QFETCH(QString, lookup); QFETCH(QString, interfaces); QFETCH(QString, chosen);
        const auto parse = [](const QString &texts) {
            QList<QHostAddress> addresses;
            for (const QString &text : texts.split(QLatin1Char(',')))
                addresses.append(QHostAddress(text));  // "" gives an address that is never used
            return addresses;
        };
        QList<InterfaceAddresses> system;
        for (const QString &entry : interfaces.split(QLatin1Char(' ')))
            system.append({entry.startsWith(QLatin1Char('+')), parse(entry.mid(1))});
        QCOMPARE(chooseLocalIPv4(parse(lookup), system), chosen);
    }

    // Loopback is up wherever the tests run, also in a network namespace.
    void systemInterfacesShowLoopback()
    {
        const QList<InterfaceAddresses> all = systemInterfaces();
        QVERIFY(std::any_of(all.begin(), all.end(), [](const InterfaceAddresses &e) {
            return e.upAndRunning && e.addresses.contains(QHostAddress::LocalHost);
        }));
    }
};

OPA_TEST_CLASS(tst_SocketClient)
#include "socketclient.moc"
