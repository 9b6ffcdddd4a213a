#include <QtTest>

#include "support/testrunner.h"

#include "net/socketclient.h"
#include "support/testsupport.h"

using testsupport::LoopbackServer;

// The client against a real server on 127.0.0.1:8899.
class tst_SocketClient : public QObject
{
    Q_OBJECT

private:
    // Connects 'client' to 'server' and returns the server's end.
    static QTcpSocket *connectPair(SocketClient &client, LoopbackServer &server)
    {
        QSignalSpy ready(&client, &SocketClient::findEnableReady);
        const int before = server.clientCount();
        client.connectToServer(QStringLiteral("127.0.0.1"));
        if (!ready.wait(5000) || !server.waitForClients(before + 1))
            return nullptr;
        return server.lastClient();
    }

    // Writes each chunk as its own segment and waits until the client has
    // taken it off the socket, so every chunk is a read of its own.
    static bool writeChunks(QTcpSocket *peer, SocketClient &client,
                            const QList<QByteArray> &chunks)
    {
        int expected = client.receiveBuffer().size();
        for (const QByteArray &chunk : chunks) {
            QSignalSpy frames(&client, &SocketClient::sendParsePack);
            peer->write(chunk);
            peer->flush();
            expected += chunk.size();
            if (!QTest::qWaitFor([&] { return client.receiveBuffer().size() >= expected
                                              || !frames.isEmpty(); }, 5000))
                return false;
            expected = client.receiveBuffer().size();
        }
        return true;
    }

    static QList<QByteArray> framesOf(const QSignalSpy &spy)
    {
        QList<QByteArray> frames;
        for (const auto &args : spy)
            frames.append(args.at(0).toByteArray());
        return frames;
    }

private slots:
    // Sending.
    void sendsWhileConnected();
    void dropsWhileConnecting();
    void dropsWhileUnconnected();

    // Connecting.
    void reconnectAbortsOldConnection();
    void reconnectForgetsPartialFrame();

    // Receiving.
    void framesInOneRead_data();
    void framesInOneRead();
    void framesAcrossReads();
    void longestFrame();
};

void tst_SocketClient::sendsWhileConnected()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QVERIFY(connectPair(client, server));

    client.onSendToServer(QByteArray::fromHex("213300AC"));
    client.onSendToServer(QByteArray::fromHex("214A01A2F2"));
    QVERIFY(server.waitForReceived(9));
    QCOMPARE(server.received(), QByteArray::fromHex("213300AC214A01A2F2"));
}

void tst_SocketClient::dropsWhileConnecting()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QSignalSpy ready(&client, &SocketClient::findEnableReady);
    client.connectToServer(QStringLiteral("127.0.0.1"));
    client.onSendToServer(QByteArray::fromHex("213800A7"));  // still connecting
    QVERIFY(ready.wait(5000));
    client.onSendToServer(QByteArray::fromHex("213300AC"));
    QVERIFY(server.waitForReceived(4));
    // Only what was sent after the connection came up arrives, and nothing more.
    QVERIFY(!server.waitForReceived(5, 200));
    QCOMPARE(server.received(), QByteArray::fromHex("213300AC"));
}

void tst_SocketClient::dropsWhileUnconnected()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    client.onSendToServer(QByteArray::fromHex("213900A6"));  // never connected

    QVERIFY(connectPair(client, server));
    client.onSendToServer(QByteArray::fromHex("213300AC"));
    QVERIFY(server.waitForReceived(4));
    QVERIFY(!server.waitForReceived(5, 200));
    QCOMPARE(server.received(), QByteArray::fromHex("213300AC"));
}

void tst_SocketClient::reconnectAbortsOldConnection()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QSignalSpy ready(&client, &SocketClient::findEnableReady);
    QTcpSocket *first = connectPair(client, server);
    QVERIFY(first);
    QCOMPARE(ready.count(), 1);
    QSignalSpy firstClosed(first, &QTcpSocket::disconnected);

    client.connectToServer(QStringLiteral("127.0.0.1"));
    QVERIFY(ready.wait(5000));
    QCOMPARE(ready.count(), 2);
    QVERIFY(server.waitForClients(2));
    QVERIFY(firstClosed.count() > 0 || firstClosed.wait(5000));

    client.onSendToServer(QByteArray::fromHex("213300AC"));
    QVERIFY(QTest::qWaitFor([&] { return server.lastClient()->bytesAvailable() >= 4
                                         || server.received().size() >= 4; }, 5000));
    QCOMPARE(server.received(), QByteArray::fromHex("213300AC"));
}

void tst_SocketClient::reconnectForgetsPartialFrame()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QSignalSpy frames(&client, &SocketClient::sendParsePack);
    QTcpSocket *peer = connectPair(client, server);
    QVERIFY(peer);
    QVERIFY(writeChunks(peer, client, {QByteArray::fromHex("06330AD20464")}));
    QCOMPARE(client.receiveBuffer().size(), 6);

    peer = connectPair(client, server);
    QVERIFY(peer);
    QVERIFY(client.receiveBuffer().isEmpty());
    QVERIFY(writeChunks(peer, client, {QByteArray::fromHex("063900C1")}));
    QCOMPARE(framesOf(frames), (QList<QByteArray>{QByteArray::fromHex("063900C1")}));
}

void tst_SocketClient::framesInOneRead_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QList<QByteArray>>("frames");

    const QByteArray reply = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray done = QByteArray::fromHex("063900C1");
    const QByteArray accepted = QByteArray::fromHex("064A00B0");
    const QByteArray startInData = QByteArray::fromHex("063302060600");  // checksum ignored

    QTest::newRow("one frame") << done << QList<QByteArray>{done};
    QTest::newRow("two frames") << reply + accepted << QList<QByteArray>{reply, accepted};
    QTest::newRow("0x06 in data, then a frame")
        << startInData + done << QList<QByteArray>{startInData, done};
    QTest::newRow("garbage before a frame")
        << QByteArray::fromHex("0000FF") + reply << QList<QByteArray>{reply};
    QTest::newRow("three bytes") << done.left(3) << QList<QByteArray>{};
    QTest::newRow("ten bytes of a fourteen-byte frame") << reply.left(10) << QList<QByteArray>{};
}

void tst_SocketClient::framesInOneRead()
{
    QFETCH(QByteArray, read);
    QFETCH(QList<QByteArray>, frames);

    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QSignalSpy spy(&client, &SocketClient::sendParsePack);
    QTcpSocket *peer = connectPair(client, server);
    QVERIFY(peer);
    QVERIFY(writeChunks(peer, client, {read}));
    QCOMPARE(framesOf(spy), frames);
}

void tst_SocketClient::framesAcrossReads()
{
    const QByteArray first = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray second = QByteArray::fromHex("063900C1");
    const QByteArray stream = first + second;

    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QTcpSocket *peer = connectPair(client, server);
    QVERIFY(peer);
    peer->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    for (int split = 1; split < stream.size(); ++split) {
        QSignalSpy spy(&client, &SocketClient::sendParsePack);
        QVERIFY(writeChunks(peer, client, {stream.left(split), stream.mid(split)}));
        QVERIFY(QTest::qWaitFor([&] { return spy.count() == 2; }, 5000));
        QCOMPARE(framesOf(spy), (QList<QByteArray>{first, second}));
        QVERIFY2(client.receiveBuffer().isEmpty(), qPrintable(QString::number(split)));
    }
}

void tst_SocketClient::longestFrame()
{
    QByteArray frame = QByteArray::fromHex("06330A") + QByteArray(10, '\x20') + '\x00';

    LoopbackServer server;
    QVERIFY(server.listen());
    SocketClient client;
    QSignalSpy spy(&client, &SocketClient::sendParsePack);
    QTcpSocket *peer = connectPair(client, server);
    QVERIFY(peer);
    QVERIFY(writeChunks(peer, client, {frame.left(13)}));
    QCOMPARE(spy.count(), 0);
    QVERIFY(writeChunks(peer, client, {frame.mid(13)}));
    QCOMPARE(framesOf(spy), (QList<QByteArray>{frame}));
}

OPA_TEST_CLASS(tst_SocketClient)
#include "socketclient.moc"
