#include <QtTest>

#include "support/testrunner.h"

#include <memory>

#include "support/discoveryhelpers.h"
#include "net/socketclient.h"
#include "support/testsupport.h"

using discoverytest::LogCapture;
using discoverytest::SilentHost;
using discoverytest::loopback;
using testsupport::LoopbackServer;

// The client's side of discovery: the stored-address attempt and the sweep
// of 127.0.0.x from the local address 127.0.0.7.
class tst_Sweep : public QObject
{
    Q_OBJECT

private:
    // Collects the addresses a sweep announces. The receiver lives on the
    // test thread, so announcements arrive as queued calls, as they reach
    // the main window.
    struct Announcements : QObject
    {
        explicit Announcements(SocketClient &client)
        {
            connect(&client, &SocketClient::beforeConnect, this,
                    [this](const QString &ip) { addresses.append(ip); });
        }
        QStringList addresses;
    };

    static bool sweepsDone()
    {
        if (!QThreadPool::globalInstance()->waitForDone(20000))
            return false;
        QCoreApplication::sendPostedEvents();
        return true;
    }

    // Gives 'client' the address of a server at 127.0.0.42 through a sweep.
    static bool findFirstServer(SocketClient &client)
    {
        LoopbackServer server;
        if (!server.listen(loopback(42)))
            return false;
        Announcements heard(client);
        client.findServer();
        return QTest::qWaitFor([&] { return !heard.addresses.isEmpty(); }, 20000)
               && client.serverAddress() == loopback(42);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Which host a sweep settles on.
    void sweepFinds_data();
    void sweepFinds();
    void hitIsLogged();

    // Without an IPv4 address there is nothing to sweep.
    void noLocalAddress_data();
    void noLocalAddress();

    // The address of an earlier hit.
    void emptySweepRepeatsEarlierHit();
    void overlappingSweepsBothAnnounce();

    // The client's lifetime.
    void destroyedClientStopsSweep();

    // The stored-address attempt.
    void storedAddress_data();
    void storedAddress();
    void abandonedAttemptStaysDown();
    void storedAddressForgetsPartialFrame();
};

void tst_Sweep::initTestCase()
{
    LogCapture::install();
}

void tst_Sweep::init()
{
    SocketClient::overrideLocalAddress([] { return loopback(7); });
    LogCapture::clear();
}

void tst_Sweep::cleanup()
{
    // No sweep of one test may run into the next.
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    SocketClient::overrideLocalAddress({});
    SocketClient::overrideProbeWait(0);
}

void tst_Sweep::sweepFinds_data()
{
    QTest::addColumn<QList<int>>("servers");
    QTest::addColumn<QList<int>>("silentHosts");
    QTest::addColumn<int>("winner");  // -1: nothing is found

    QTest::newRow("one server") << QList<int>{42} << QList<int>{} << 42;
    QTest::newRow("lower host number wins") << QList<int>{9, 5} << QList<int>{} << 5;
    QTest::newRow("host 0 never tried, 255 is") << QList<int>{0, 255} << QList<int>{} << 255;
    QTest::newRow("own host number tried") << QList<int>{7, 8} << QList<int>{} << 7;
    QTest::newRow("silent host given up") << QList<int>{4} << QList<int>{3} << 4;
    QTest::newRow("nothing listening") << QList<int>{} << QList<int>{} << -1;
}

void tst_Sweep::sweepFinds()
{
    QFETCH(QList<int>, servers);
    QFETCH(QList<int>, silentHosts);
    QFETCH(int, winner);

    std::vector<std::unique_ptr<LoopbackServer>> listening;
    for (int host : servers) {
        listening.push_back(std::make_unique<LoopbackServer>());
        QVERIFY2(listening.back()->listen(loopback(host)), qPrintable(loopback(host)));
    }
    std::vector<std::unique_ptr<SilentHost>> silent;
    for (int host : silentHosts) {
        silent.push_back(std::make_unique<SilentHost>());
        QVERIFY2(silent.back()->open(loopback(host)), qPrintable(loopback(host)));
    }

    SocketClient client;
    Announcements heard(client);
    client.findServer();
    QVERIFY(sweepsDone());

    if (winner < 0) {
        QVERIFY(heard.addresses.isEmpty());
        QVERIFY(client.serverAddress().isEmpty());
        return;
    }
    QCOMPARE(heard.addresses, QStringList{loopback(winner)});
    QCOMPARE(client.serverAddress(), loopback(winner));
    for (int i = 0; i < servers.size(); ++i) {
        LoopbackServer &server = *listening[i];
        // A probe that reached the server waits in its queue by now; every
        // host but 0 is probed at once, each exactly once.
        server.server().waitForNewConnection(0);
        QCOMPARE(server.clientCount(), servers[i] == 0 ? 0 : 1);
    }
}

void tst_Sweep::hitIsLogged()
{
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));
    SocketClient client;
    client.findServer();
    QVERIFY(sweepsDone());

    QCOMPARE(LogCapture::linesStartingWith(QStringLiteral("+++++localIP:")),
             QStringList{QStringLiteral("+++++localIP: \"127.0.0.7\"")});
    QCOMPARE(LogCapture::linesStartingWith(QStringLiteral("----------")),
             QStringList{QStringLiteral("---------- \"127.0.0.42\"")});
}

void tst_Sweep::noLocalAddress_data()
{
    QTest::addColumn<QString>("local");

    QTest::newRow("empty text") << QString();
    QTest::newRow("IPv6 text") << QStringLiteral("fe80::1");
}

void tst_Sweep::noLocalAddress()
{
    QFETCH(QString, local);

    // After an earlier hit any sweep would announce that address, even one
    // that finds nothing; so silence here means that no sweep ran.
    SocketClient client;
    QVERIFY(findFirstServer(client));
    QVERIFY(sweepsDone());
    LogCapture::clear();

    SocketClient::overrideLocalAddress([local] { return local; });
    Announcements heard(client);
    client.findServer();
    QVERIFY(sweepsDone());

    QCOMPARE(LogCapture::lines(),
             QStringList{QStringLiteral("+++++localIP: \"%1\"").arg(local)});
    QVERIFY(heard.addresses.isEmpty());
}

void tst_Sweep::emptySweepRepeatsEarlierHit()
{
    SocketClient client;
    QVERIFY(findFirstServer(client));  // the server is gone again after this
    QVERIFY(sweepsDone());

    Announcements heard(client);
    client.findServer();
    QVERIFY(sweepsDone());

    QCOMPARE(heard.addresses, QStringList{loopback(42)});
    QCOMPARE(LogCapture::linesStartingWith(QStringLiteral("----------")).size(), 1);
}

void tst_Sweep::overlappingSweepsBothAnnounce()
{
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));
    SocketClient client;
    Announcements heard(client);

    client.findServer();
    client.findServer();
    // Reading the address on this thread while both sweeps may write it.
    QVERIFY(QTest::qWaitFor([&] {
        return client.serverAddress() == loopback(42) && heard.addresses.size() == 2;
    }, 20000));
    QCOMPARE(heard.addresses, (QStringList{loopback(42), loopback(42)}));
}

void tst_Sweep::destroyedClientStopsSweep()
{
    auto client = std::make_unique<SocketClient>();
    // With an earlier hit the sweep would touch the client again at its end.
    QVERIFY(findFirstServer(*client));
    QVERIFY(sweepsDone());

    // Every probe waits its full time, stretched to 10 s: so would the sweep.
    SocketClient::overrideProbeWait(10000);
    SilentHost everywhere;
    QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
    client->findServer();
    QVERIFY(QThreadPool::globalInstance()->activeThreadCount() > 0);
    client.reset();

    // Within about one probe wait, far short of the sweep's 13 s; a sweep
    // that reached the destroyed client at its end would trip the sanitizer.
    QVERIFY2(QThreadPool::globalInstance()->waitForDone(2000),
             "the sweep went on after its client was destroyed");
}

void tst_Sweep::storedAddress_data()
{
    QTest::addColumn<QString>("host");  // what listens at 127.0.0.42
    QTest::addColumn<bool>("connected");

    QTest::newRow("accepts") << "server" << true;
    QTest::newRow("refuses") << "nothing" << false;
    QTest::newRow("never answers") << "silent" << false;
}

void tst_Sweep::storedAddress()
{
    QFETCH(QString, host);
    QFETCH(bool, connected);

    LoopbackServer server;
    SilentHost silent;
    if (host == QLatin1String("server"))
        QVERIFY(server.listen(loopback(42)));
    else if (host == QLatin1String("silent"))
        QVERIFY(silent.open(loopback(42)));

    SocketClient client;
    QSignalSpy ready(&client, &SocketClient::findEnableReady);
    QCOMPARE(client.tryConnectServer(loopback(42)), connected);
    // The connected report comes inside the wait, not later.
    QCOMPARE(ready.count(), connected ? 1 : 0);
    QCOMPARE(LogCapture::lines(), QStringList{QStringLiteral("_____ \"127.0.0.42\"")});
    if (connected)
        QVERIFY(server.waitForClients(1));
}

void tst_Sweep::abandonedAttemptStaysDown()
{
    SilentHost silent;
    QVERIFY(silent.open(loopback(42)));
    SocketClient client;
    QSignalSpy ready(&client, &SocketClient::findEnableReady);
    QVERIFY(!client.tryConnectServer(loopback(42)));

    // Room for one more connection now. An attempt still pending would
    // retry its handshake about a second after it began and get in.
    QVERIFY(silent.releaseFiller());
    QVERIFY(!ready.wait(1500));
    QVERIFY(!silent.hasPendingConnection(0));
}

void tst_Sweep::storedAddressForgetsPartialFrame()
{
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));
    SocketClient client;
    QSignalSpy frames(&client, &SocketClient::sendParsePack);
    QVERIFY(client.tryConnectServer(loopback(42)));
    QVERIFY(server.waitForClients(1));
    server.send(QByteArray::fromHex("06330AD20464"));  // a reply cut short
    QVERIFY(QTest::qWaitFor([&] { return client.receiveBuffer().size() == 6; }, 5000));

    QVERIFY(client.tryConnectServer(loopback(42)));
    QVERIFY(client.receiveBuffer().isEmpty());
    QVERIFY(server.waitForClients(2));
    server.send(QByteArray::fromHex("063900C1"));
    QVERIFY(frames.wait(5000));
    QCOMPARE(frames.count(), 1);
    QCOMPARE(frames.at(0).at(0).toByteArray(), QByteArray::fromHex("063900C1"));
}

OPA_TEST_CLASS(tst_Sweep)
#include "sweep.moc"
