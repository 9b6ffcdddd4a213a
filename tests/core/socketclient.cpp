#include <QtTest>

#include "net/localaddress.h"
#include "net/serversweep.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using discoverytest::loopback;

// The client against stand-in servers on loopback: the of 127.0.0.x from the local address 127.0.0.7, and the choice of
// the local address itself.
class tst_SocketClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ServerSweep::overrideLocalAddress([] { return loopback(7); }); }
    void cleanupTestCase() { ServerSweep::overrideLocalAddress({}); }

    void sweep_data()
    {
        QTest::addColumn<QList<int>>("answering");
        QTest::addColumn<QStringList>("found");
        // Hosts that only accept, and an empty subnet, are the discovery table's.
        QTest::newRow("every meter, lowest first") << QList<int>{200, 9, 5}
                                                   << QStringList{loopback(5), loopback(9), loopback(200)};
        QTest::newRow("255, but never 0") << QList<int>{0, 255} << QStringList{loopback(255)};
    }

    // The sweep ends, in a blink since all hosts are probed at once, and
    // names every host that answered the read-measurement command.
    void sweep()
    {
        QFETCH(QList<int>, answering); QFETCH(QStringList, found);
        discoverytest::MeterHost hosts[256];
        for (int host : answering)
            QVERIFY(hosts[host].listen(loopback(host)));
        ServerSweep sweep;
        QSignalSpy ended(&sweep, &ServerSweep::ended);
        sweep.start();
        QVERIFY(ended.wait(2000));  // one host after another took 12.75 s
        QCOMPARE(ended.at(0).at(0).toStringList(), found);
    }

    // A meter that garbles replies: the count grows with each, and the log
    // says so at once and then at most once a second.
    void checksumDropsLogged()
    {
        static QStringList lines;
        lines.clear();
        struct Capture {
            QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
                if (text.startsWith(QLatin1String("checksum:")))
                    lines << text;
            });
            ~Capture() { qInstallMessageHandler(previous); }
        } capture;
        testsupport::LoopbackServer server;
        QVERIFY(server.listen());
        SocketClient client;
        client.connectToServer(QStringLiteral("127.0.0.1"));
        QVERIFY(server.waitForClients(1));
        QByteArray bad = testsupport::measurementReply(4000, 4000, 999, 25, 30, 2048);
        bad.back() = char(bad.back() + 1);
        QElapsedTimer clock;
        clock.start();
        server.send(bad + bad + bad);
        QTRY_COMPARE(client.droppedFrames(), 3);
        server.send(bad + testsupport::measurementReply(1, 1, 1, 1, 1, 1) + bad);
        QTRY_COMPARE(client.droppedFrames(), 5);
        const QStringList early = lines;
        const qint64 earlyAt = clock.elapsed();
        QTRY_COMPARE(lines.size(), 2);
        if (earlyAt < SocketClient::DropLogIntervalMs)
            QCOMPARE(early, QStringList{"checksum: 3 frames dropped"});
        QCOMPARE(lines, (QStringList{"checksum: 3 frames dropped", "checksum: 2 frames dropped"}));
        QVERIFY(clock.elapsed() >= SocketClient::DropLogIntervalMs);
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
};

OPA_TEST_CLASS(tst_SocketClient)
#include "socketclient.moc"
