#include <QtTest>

#include <QTcpSocket>

#include "api/apiclient.h"
#include "config/apisettings.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "tests/api/apirig.h"

using apirig::cmd;
using apirig::Peer;
using apirig::Served;

namespace {

// The status code of the server's answer to a handshake sent by hand, with
// 'origin' as its Origin header (none when empty); 0 when none came.
int handshakeStatus(quint16 port, const QByteArray &origin)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return 0;
    QByteArray request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
    if (!origin.isEmpty())
        request += "Origin: " + origin + "\r\n";
    s.write(request + "\r\n");
    QByteArray head;
    (void)QTest::qWaitFor([&] { return (head += s.readAll()).contains("\r\n\r\n"); }, 5000);
    return head.startsWith("HTTP/1.1 ") ? head.mid(9, 3).toInt() : 0;
}

QString said(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("ok")).toBool() ? QStringLiteral("ok") : reply.value(QStringLiteral("error")).toString();
}

} // namespace

// Who reaches the lane through the API, on loopback as the program listens
// by default: web pages by their origin, the records by the token, and the
// limits every client meets (the auth time-out, the rate of commands, the
// record reads waiting).
class tst_ApiAccess : public QObject
{
    Q_OBJECT

private slots:
    // --- web pages

    void origin_data()
    {
        QTest::addColumn<QStringList>("allowed");  // [Api] Origins
        QTest::addColumn<QByteArray>("origin");    // empty: no Origin header
        QTest::addColumn<int>("status");
        const QStringList display{QStringLiteral("http://display.lane1:8080"), QStringLiteral("http://127.0.0.1:8000/")};
        QTest::newRow("a program: no Origin") << QStringList() << QByteArray() << 101;
        QTest::newRow("a listed page") << display << QByteArray("http://display.lane1:8080") << 101;
        QTest::newRow("listed, in capitals") << display << QByteArray("HTTP://Display.Lane1:8080") << 101;
        QTest::newRow("listed with a slash") << display << QByteArray("http://127.0.0.1:8000") << 101;
        QTest::newRow("another site") << display << QByteArray("https://example.com") << 403;
        QTest::newRow("listed host, other port") << display << QByteArray("http://display.lane1:8081") << 403;
        QTest::newRow("a local file's page") << display << QByteArray("null") << 403;
        QTest::newRow("none listed: no page") << QStringList() << QByteArray("http://127.0.0.1:8000") << 403;
    }

    // A browser's page not listed is refused at the handshake, before it
    // could read anything; programs send no Origin and are let in.
    void origin()
    {
        QFETCH(QStringList, allowed);
        QFETCH(QByteArray, origin);
        QFETCH(int, status);
        Served s;
        s.config.origins = allowed;
        QVERIFY(s.start());
        QCOMPARE(handshakeStatus(s.server.port(), origin), status);
        if (status == 403) {
            QVERIFY(s.server.clients().isEmpty());
            return;
        }
        QWebSocket page(QString::fromLatin1(origin));
        page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(s.server.port())));
        QTRY_COMPARE(page.state(), QAbstractSocket::ConnectedState);
    }

    // --- the records and the token

    void recordsNeedToken_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("auth");       // sent first when not empty
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("reply");      // "ok" or the start of the error
        const QByteArray list = R"({"cmd":"listRecords"})";
        const QByteArray get = R"({"cmd":"getRecord","id":"r1"})";
        const QByteArray listWith = R"({"cmd":"listRecords","token":"TOKEN"})";
        const QString tokenQuery = QStringLiteral("?token=TOKEN");
        const QString none;
        QTest::newRow("list, no token") << none << none << list << "not authorised: the records need the token";
        QTest::newRow("get, no token") << none << none << get << "not authorised: the records need the token";
        QTest::newRow("list, wrong token") << none << none << QByteArray(listWith).replace("TOKEN", "0123") << "wrong token";
        QTest::newRow("list, token in the command") << none << none << listWith << "ok";
        QTest::newRow("get, token in the command") << none << none << QByteArray(R"({"cmd":"getRecord","id":"r1","token":"TOKEN"})") << "ok";
        QTest::newRow("list, token in the URL") << tokenQuery << none << list << "ok";
        QTest::newRow("get, after auth") << none << "TOKEN" << get << "ok";
        QTest::newRow("list, after a wrong auth") << none << "0123" << list << "not authorised: the records need the token";
    }

    // On loopback too, the records are read only for the token; a refused
    // command never reaches the database.
    void recordsNeedToken()
    {
        QFETCH(QString, query);
        QFETCH(QString, auth);
        QFETCH(QByteArray, command);
        QFETCH(QString, reply);
        Served s;
        QVERIFY(s.start());
        Peer peer(s.server, QString(query).replace(QLatin1String("TOKEN"), apirig::Token));
        if (!auth.isEmpty())
            peer.ask(cmd("auth", {{QStringLiteral("token"), QString(auth).replace(QLatin1String("TOKEN"), apirig::Token)}}));
        const QString answer = said(peer.ask(QJsonDocument::fromJson(command.replace("TOKEN", apirig::Token.toLatin1())).object()));
        QVERIFY2(answer.startsWith(reply), qPrintable(answer));
        QCOMPARE(s.lane.reads, reply == QLatin1String("ok") ? 1 : 0);
    }

    // With no token set, nothing opens the records.
    void recordsWithoutServerToken()
    {
        Served s;
        s.config.token.clear();
        QVERIFY(s.start());
        Peer peer(s.server);
        QCOMPARE(said(peer.ask(apirig::withToken(cmd("listRecords")))),
                 QStringLiteral("refused: the API has no token, so no record may be read"));
    }

    // --- limits every client meets

    // On loopback a client reads at once, but one that has not shown the
    // token in time is closed; shown in the URL, with auth or in a command,
    // it stays.
    void authTimeoutOnLoopback()
    {
        Served s;
        s.server.overrideAuthTimeout(1000);
        QVERIFY(s.start());
        Peer inUrl(s.server, QStringLiteral("?token=") + apirig::Token);
        Peer withAuth(s.server);
        QVERIFY(withAuth.ask(apirig::withToken(cmd("auth"))).value(QStringLiteral("ok")).toBool());
        Peer inCommand(s.server);
        QVERIFY(inCommand.ask(apirig::withToken(cmd("listRecords"))).value(QStringLiteral("ok")).toBool());
        Peer idle(s.server);
        QVERIFY(!idle.waitType("hello").isEmpty());
        QVERIFY(idle.waitClosed());
        QCOMPARE(idle.ws.closeReason(), QStringLiteral("no auth within 1 s"));
        for (Peer *kept : {&inUrl, &withAuth, &inCommand})
            QCOMPARE(kept->ws.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(s.server.clients().size(), 3);
    }

    // The cap counts clients that showed the token as any other.
    void capWithToken()
    {
        Served s;
        QVERIFY(s.start());
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < ApiServer::MaxClients; ++i)
            peers.push_back(std::make_unique<Peer>(s.server, QStringLiteral("?token=") + apirig::Token));
        QTRY_COMPARE(s.server.clients().size(), ApiServer::MaxClients);
        Peer extra(s.server, QStringLiteral("?token=") + apirig::Token);
        QVERIFY(extra.waitClosed());
        QCOMPARE(extra.ws.closeReason(), QStringLiteral("too many clients: at most 16"));
    }

    // The 21st command within a second is refused, whatever it is, and so
    // is every one after it in that second; the next second takes commands
    // again.
    void commandRate()
    {
        Served s;
        QVERIFY(s.start());
        Peer peer(s.server, QStringLiteral("?token=") + apirig::Token);
        QVERIFY(peer.waitConnected());
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < api::Client::MaxCommandsPerSecond + 2; ++i) {
            const char *name = i == api::Client::MaxCommandsPerSecond + 1 ? "listRecords" : "subscribe";
            peer.ws.sendTextMessage(QString::fromUtf8(QJsonDocument(cmd(name, {{QStringLiteral("id"), i}})).toJson()));
        }
        QTRY_COMPARE(peer.ofType("reply").size(), api::Client::MaxCommandsPerSecond + 2);
        QStringList answers;
        for (const QJsonObject &reply : peer.ofType("reply"))
            answers << said(reply);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(answers.count(QStringLiteral("ok")), api::Client::MaxCommandsPerSecond);
        QCOMPARE(answers.mid(api::Client::MaxCommandsPerSecond),
                 (QStringList{QStringLiteral("refused: too many commands"), QStringLiteral("refused: too many commands")}));
        QCOMPARE(s.lane.reads, 0);

        QVERIFY(QTest::qWaitFor([&] { return said(peer.ask(cmd("listRecords"))) == QLatin1String("ok"); }, 3000));
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
    }

    // A client's record reads wait a few at a time; more are refused, not
    // queued, and those taken are answered.
    void readsWaiting()
    {
        Served s;
        s.lane.holdReads = true;
        QVERIFY(s.start());
        Peer peer(s.server, QStringLiteral("?token=") + apirig::Token);
        QVERIFY(peer.waitConnected());
        for (int i = 0; i <= ApiServer::MaxReadsWaiting; ++i)
            peer.ws.sendTextMessage(QString::fromUtf8(QJsonDocument(cmd("listRecords", {{QStringLiteral("id"), i}})).toJson()));
        const QJsonObject refused = peer.waitType("reply");
        QCOMPARE(said(refused), QStringLiteral("refused: too many commands"));
        QCOMPARE(refused.value(QStringLiteral("id")).toInt(), ApiServer::MaxReadsWaiting);
        QCOMPARE(s.lane.heldReads.size(), ApiServer::MaxReadsWaiting);
        for (const auto &answer : s.lane.heldReads)
            answer();
        QTRY_COMPARE(peer.ofType("reply").size(), ApiServer::MaxReadsWaiting + 1);
        QVERIFY(said(peer.ofType("reply").last()) == QLatin1String("ok"));
    }
};

OPA_TEST_CLASS(tst_ApiAccess)
#include "access.moc"
