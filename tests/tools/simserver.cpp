#include <QtTest>

#include "support/testrunner.h"

#include "meter/frames.h"
#include "net/framecutter.h"
#include "support/testsupport.h"
#include "sim/meterreplies.h"
#include "sim/meterserver.h"

// The simulator's server in this process, on a free loopback port, with a
// real QTcpSocket as the program's side.
using testsupport::hex;

class tst_SimServer : public QObject
{
    Q_OBJECT

private:
    static QByteArray reference() { return hex("06330AD20464002C01191E000817"); }

    static SimOptions loopbackOptions()
    {
        SimOptions options;
        options.port = 0;
        options.quiet = true;
        return options;
    }

    static std::unique_ptr<MeterServer> startServer(const SimOptions &options)
    {
        QString error;
        std::unique_ptr<MeterServer> server(
            new MeterServer(options, makeScenario(options, &error)));
        if (!server->start(&error)) {
            qWarning("cannot start: %s", qPrintable(error));
            return nullptr;
        }
        return server;
    }

    // The program's side: a socket that keeps every byte and every read.
    struct Client
    {
        QTcpSocket socket;
        QByteArray bytes;
        QList<QByteArray> reads;

        explicit Client(quint16 port)
        {
            QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
                const QByteArray data = socket.readAll();
                bytes += data;
                reads.append(data);
            });
            socket.connectToHost(QHostAddress::LocalHost, port);
        }
        bool connected() { return socket.waitForConnected(5000); }
        void send(const QByteArray &data)
        {
            socket.write(data);
            socket.flush();
        }
        bool waitForBytes(int count)
        {
            return QTest::qWaitFor([&] { return bytes.size() >= count; }, 5000);
        }
        // The replies as the program's own cutter cuts them.
        QList<QByteArray> frames() const
        {
            FrameCutter cutter;
            cutter.append(bytes);
            QList<QByteArray> out;
            QByteArray frame;
            while (cutter.next(&frame))
                out.append(frame);
            return out;
        }
    };

    // Every reply the simulator makes must be a whole, correctly summed frame.
    static bool allWellFormed(const QList<QByteArray> &frames)
    {
        for (const QByteArray &f : frames)
            if (!Frames::sumsToZero(f) || f.at(0) != Frames::MeterStart)
                return false;
        return true;
    }

private slots:
    // Answers.
    void answersCommand_data();
    void answersCommand();
    void unknownCommandIsNotAnswered();
    void calibrationDoneComesAfterTheDelay();
    void commandsInPiecesAndTogether();
    void incompleteCommandIsDroppedAfterAGap();
    void scenarioValuesReachTheClient();

    // Connections.
    void servesOneClientAtATime();
    void laterClientIsServedFromAFreshStart();

    // Fault options.
    void splitWritesEachReplyInPieces();
    void splitOfOneStillCutsIntoFrames();
    void garbageGoesBeforeEveryThirdReply();
    void dropAfterClosesTheConnection();
    void silentAcceptsButNeverAnswers();
    void noAcceptNeitherAcceptsNorRefuses();
};

void tst_SimServer::answersCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("read measurement") << hex("213300AC") << reference();
    QTest::newRow("calibration step 1") << hex("213800A7") << hex("063800C2");
    QTest::newRow("calibration step 2") << hex("213900A6") << hex("063900C1");
    QTest::newRow("factory reset") << hex("214A01A2F2") << hex("064A00B0");
}

void tst_SimServer::answersCommand()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    SimOptions options = loopbackOptions();
    options.calibrationDelayMs = 50;
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(command);
    QVERIFY(client.waitForBytes(reply.size()));
    QCOMPARE(client.bytes.toHex().toUpper(), reply.toHex().toUpper());
    QVERIFY(allWellFormed(client.frames()));
}

void tst_SimServer::unknownCommandIsNotAnswered()
{
    // Replies keep the order of the commands, so a later command's answer
    // arriving first and alone shows that the earlier one got none.
    const auto server = startServer(loopbackOptions());
    QVERIFY(server);
    QSignalSpy commands(server.get(), &MeterServer::commandReceived);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(hex("21AB0034") + hex("213300AD") + hex("213300AC"));
    QVERIFY(client.waitForBytes(14));
    QVERIFY(QTest::qWaitFor([&] { return commands.count() == 3; }, 5000));
    QCOMPARE(client.frames(), QList<QByteArray>{reference()});
    QCOMPARE(client.bytes.size(), 14);
}

void tst_SimServer::calibrationDoneComesAfterTheDelay()
{
    SimOptions options = loopbackOptions();
    options.calibrationDelayMs = 400;
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(hex("213900A6"));
    client.send(hex("213300AC"));
    QVERIFY(client.waitForBytes(18));
    // The measurement asked for after the calibration overtakes its reply.
    QCOMPARE(client.frames(), (QList<QByteArray>{reference(), hex("063900C1")}));
}

void tst_SimServer::commandsInPiecesAndTogether()
{
    const auto server = startServer(loopbackOptions());
    QVERIFY(server);
    QSignalSpy commands(server.get(), &MeterServer::commandReceived);
    Client client(server->port());
    QVERIFY(client.connected());
    const QByteArray reset = hex("214A01A2F2");
    for (int i = 0; i < reset.size(); ++i) {
        client.send(reset.mid(i, 1));
        QTest::qWait(0);
    }
    client.send(hex("213300AC213800A7"));
    QVERIFY(client.waitForBytes(4 + 14 + 4));
    QCOMPARE(client.frames(),
             (QList<QByteArray>{hex("064A00B0"), reference(), hex("063800C2")}));
    QCOMPARE(commands.count(), 3);
}

void tst_SimServer::incompleteCommandIsDroppedAfterAGap()
{
    SimOptions options = loopbackOptions();
    options.quiet = false;
    const auto server = startServer(options);
    QVERIFY(server);
    QStringList lines;
    connect(server.get(), &MeterServer::logLine, this, [&](const QString &l) { lines.append(l); });
    Client client(server->port());
    QVERIFY(client.connected());
    // A length byte that promises 255 data bytes which never come.
    client.send(hex("2133FF"));
    QVERIFY(QTest::qWaitFor([&] {
        return !lines.filter(QStringLiteral("recv 2133FF (incomplete command, dropped)")).isEmpty();
    }, 5000));
    client.send(hex("213300AC"));
    QVERIFY(client.waitForBytes(14));
    QCOMPARE(client.frames(), QList<QByteArray>{reference()});
}

void tst_SimServer::scenarioValuesReachTheClient()
{
    QTemporaryDir dir;
    QFile csv(dir.filePath(QStringLiteral("rows.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("1,2,3,4,5,6\n-1,-2,-3,250,251,4097\n");
    csv.close();
    SimOptions options = loopbackOptions();
    options.scenario = QStringLiteral("file");
    options.csvPath = csv.fileName();
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    for (int i = 0; i < 3; ++i)
        client.send(hex("213300AC"));
    QVERIFY(client.waitForBytes(3 * 14));
    QCOMPARE(client.frames(), (QList<QByteArray>{hex("06330A01000200030004050600A8"),
                                                 hex("06330AFFFFFEFFFDFFFAFB0110C0"),
                                                 hex("06330A01000200030004050600A8")}));
}

void tst_SimServer::servesOneClientAtATime()
{
    const auto server = startServer(loopbackOptions());
    QVERIFY(server);
    QSignalSpy connects(server.get(), &MeterServer::clientConnected);
    auto first = std::make_unique<Client>(server->port());
    QVERIFY(first->connected());
    QVERIFY(connects.wait(5000));

    // The second connection completes in the backlog but is not served.
    Client second(server->port());
    QVERIFY(second.connected());
    second.send(hex("213300AC"));
    first->send(hex("213300AC"));
    QVERIFY(first->waitForBytes(14));
    QVERIFY(second.bytes.isEmpty());
    QCOMPARE(connects.count(), 1);

    // Once the first leaves, the second is taken and its waiting command answered.
    first.reset();
    QVERIFY(second.waitForBytes(14));
    QCOMPARE(second.frames(), QList<QByteArray>{reference()});
    QCOMPARE(connects.count(), 2);
}

void tst_SimServer::laterClientIsServedFromAFreshStart()
{
    // A client that leaves mid-command and mid-calibration must not leave
    // bytes or replies behind for the next one.
    SimOptions options = loopbackOptions();
    options.calibrationDelayMs = 200;
    const auto server = startServer(options);
    QVERIFY(server);
    QSignalSpy gone(server.get(), &MeterServer::clientDisconnected);
    QSignalSpy commands(server.get(), &MeterServer::commandReceived);
    {
        Client first(server->port());
        QVERIFY(first.connected());
        first.send(hex("213900A6") + hex("2133"));
        QVERIFY(commands.wait(5000));
    }
    QVERIFY(gone.wait(5000));
    Client second(server->port());
    QVERIFY(second.connected());
    second.send(hex("00AC") + hex("213300AC"));
    QVERIFY(second.waitForBytes(14));
    // Nothing more comes, also once the first client's calibration delay is over.
    QVERIFY(!QTest::qWaitFor([&] { return second.bytes.size() > 14; }, 500));
    QCOMPARE(second.frames(), QList<QByteArray>{reference()});
}

void tst_SimServer::splitWritesEachReplyInPieces()
{
    SimOptions options = loopbackOptions();
    options.splitBytes = 5;
    const auto server = startServer(options);
    QVERIFY(server);
    // Gaps long enough that each piece is read on its own.
    server->setSplitGapMs(300);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(hex("213300AC"));
    QVERIFY(client.waitForBytes(14));
    QCOMPARE(client.bytes, reference());
    QVERIFY2(client.reads.size() >= 2, qPrintable(QString::number(client.reads.size())));
    QCOMPARE(client.reads.first(), reference().left(5));
}

void tst_SimServer::splitOfOneStillCutsIntoFrames()
{
    SimOptions options = loopbackOptions();
    options.splitBytes = 1;
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(hex("213300AC214A01A2F2213300AC"));
    QVERIFY(client.waitForBytes(14 + 4 + 14));
    QCOMPARE(client.frames(), (QList<QByteArray>{reference(), hex("064A00B0"), reference()}));
}

void tst_SimServer::garbageGoesBeforeEveryThirdReply()
{
    SimOptions options = loopbackOptions();
    options.garbage = true;
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    for (int i = 0; i < 6; ++i)
        client.send(hex("213300AC"));
    const int stray = MeterReplies::strayBytes(0).size() + MeterReplies::strayBytes(3).size();
    QVERIFY(client.waitForBytes(6 * 14 + stray));
    // Stray bytes in front of replies 1 and 4, none elsewhere.
    QCOMPARE(client.bytes.indexOf(reference()), MeterReplies::strayBytes(0).size());
    QCOMPARE(client.bytes.mid(MeterReplies::strayBytes(0).size() + 3 * 14,
                              MeterReplies::strayBytes(3).size()),
             MeterReplies::strayBytes(3));
    // The program's cutter still finds every reply whole.
    QCOMPARE(client.frames(), QList<QByteArray>() << reference() << reference() << reference()
                                                  << reference() << reference() << reference());
}

void tst_SimServer::dropAfterClosesTheConnection()
{
    SimOptions options = loopbackOptions();
    options.dropAfter = 3;
    const auto server = startServer(options);
    QVERIFY(server);
    Client client(server->port());
    QVERIFY(client.connected());
    QSignalSpy closed(&client.socket, &QTcpSocket::disconnected);
    for (int i = 0; i < 5; ++i)
        client.send(hex("213300AC"));
    QVERIFY(closed.wait(5000));
    QCOMPARE(client.frames().size(), 3);
    QCOMPARE(client.bytes.size(), 3 * 14);

    // The next client is served again, with a count of its own.
    Client next(server->port());
    QVERIFY(next.connected());
    QSignalSpy nextClosed(&next.socket, &QTcpSocket::disconnected);
    for (int i = 0; i < 4; ++i)
        next.send(hex("214A01A2F2"));
    QVERIFY(nextClosed.wait(5000));
    QCOMPARE(next.frames(), (QList<QByteArray>{hex("064A00B0"), hex("064A00B0"), hex("064A00B0")}));
}

void tst_SimServer::silentAcceptsButNeverAnswers()
{
    SimOptions options = loopbackOptions();
    options.silent = true;
    options.calibrationDelayMs = 0;
    const auto server = startServer(options);
    QVERIFY(server);
    QSignalSpy commands(server.get(), &MeterServer::commandReceived);
    QSignalSpy replies(server.get(), &MeterServer::replySent);
    Client client(server->port());
    QVERIFY(client.connected());
    client.send(hex("213300AC213900A6214A01A2F2"));
    QVERIFY(QTest::qWaitFor([&] { return commands.count() == 3; }, 5000));
    QVERIFY(!QTest::qWaitFor([&] { return !client.bytes.isEmpty(); }, 300));
    QCOMPARE(replies.count(), 0);
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectedState);
}

void tst_SimServer::noAcceptNeitherAcceptsNorRefuses()
{
    SimOptions options = loopbackOptions();
    options.noAccept = true;
    const auto server = startServer(options);
    QVERIFY(server);
    QVERIFY(server->port() != 0);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    // Neither connected nor refused: the attempt just hangs.
    QVERIFY(!QTest::qWaitFor([&] { return socket.state() != QAbstractSocket::ConnectingState; },
                             1500));
    QCOMPARE(socket.error(), QAbstractSocket::UnknownSocketError);
    socket.abort();
}

OPA_TEST_CLASS(tst_SimServer)
#include "simserver.moc"
