#include <QtTest>

#include <QTcpSocket>

#include "api/apiclient.h"
#include "config/apisettings.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/apirig.h"

using apirig::cmd;
using apirig::said;
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

} // namespace

// Who reaches the lane through the API: web pages by their origin, the
// meter and the records by the token, on loopback as the program listens by
// default and on another address, and the limits every client meets (the auth time-out, the rate of commands, the
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
        QFETCH(QStringList, allowed); QFETCH(QByteArray, origin); QFETCH(int, status);
        Served s;
        s.config.origins = allowed;
        QVERIFY(s.start());
        QCOMPARE(handshakeStatus(s.server.port(), origin), status);
        if (status == 403)
            QVERIFY(s.server.clients().isEmpty());
    }

    // --- the token

    void tokenRules_data()
    {
        QTest::addColumn<bool>("otherAddress");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("auth");       // sent first when not empty
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("reply");      // "ok" or the start of the error
        QTest::addColumn<int>("reached");        // record reads or changes the lane got
        const QByteArray list = R"({"cmd":"listRecords"})";
        const QByteArray listWith = R"({"cmd":"listRecords","token":"TOKEN"})";
        const QByteArray subscribe = R"({"cmd":"subscribe"})";
        const QString needed = QStringLiteral("not authorised: the records need the token");
        const QString tokenQuery = QStringLiteral("?token=TOKEN");
        const QString none;
        QTest::newRow("loopback: reading is free") << false << none << none << subscribe << "ok" << 0;
        QTest::newRow("loopback: list, no token") << false << none << none << list << needed << 0;
        QTest::newRow("loopback: list, wrong token") << false << none << none << QByteArray(listWith).replace("TOKEN", "0123") << "wrong token" << 0;
        QTest::newRow("loopback: list, token in the command") << false << none << none << listWith << "ok" << 1;
        QTest::newRow("loopback: list, token in the URL") << false << tokenQuery << none << list << "ok" << 1;
        QTest::newRow("loopback: get, after auth") << false << none << "TOKEN" << QByteArray(R"({"cmd":"getRecord","id":"r1"})") << "ok" << 1;
        QTest::newRow("loopback: list, after a wrong auth") << false << none << "0123" << list << needed << 0;
        QTest::newRow("loopback: startTest with the token") << false << none << none
            << QByteArray(R"({"cmd":"startTest","token":"TOKEN","operator":"Li","vehicle":{"plate":"A1","category":"N1"}})") << "ok" << 1;
        QTest::newRow("other address: nothing before auth") << true << none << none << subscribe << "not authorised" << 0;
        QTest::newRow("other address: auth") << true << none << none << QByteArray(R"({"cmd":"auth","token":"TOKEN"})") << "ok" << 0;
        QTest::newRow("other address: wrong auth") << true << none << none << QByteArray(R"({"cmd":"auth","token":"x"})") << "wrong token" << 0;
        QTest::newRow("other address: token in the URL") << true << tokenQuery << none << subscribe << "ok" << 0;
        QTest::newRow("other address: changes still need it") << true << tokenQuery << none
            << QByteArray(R"({"cmd":"clearMaxima","token":""})") << "wrong token" << 0;
    }

    // On loopback anyone reads the meter, but the records only with the
    // token; elsewhere nothing goes before the token. A refused command
    // never reaches the lane, and only an authorised client is greeted.
    void tokenRules()
    {
        QFETCH(bool, otherAddress); QFETCH(QString, query); QFETCH(QString, auth); QFETCH(QByteArray, command);
        QFETCH(QString, reply); QFETCH(int, reached);
        Served s;
        QVERIFY(s.start(otherAddress));
        Peer peer(s.server, QString(query).replace(QLatin1String("TOKEN"), apirig::Token));
        if (!auth.isEmpty())
            peer.ask(cmd("auth", {{QStringLiteral("token"), QString(auth).replace(QLatin1String("TOKEN"), apirig::Token)}}));
        const QString answer = said(peer.ask(QJsonDocument::fromJson(command.replace("TOKEN", apirig::Token.toLatin1())).object()));
        QVERIFY2(answer.startsWith(reply), qPrintable(answer));
        QVERIFY(!peer.ask(cmd("subscribe")).isEmpty());  // the hello, if any, is in
        QCOMPARE(peer.ofType("hello").size(), !otherAddress || !query.isEmpty() || reply == QLatin1String("ok") ? 1 : 0);
        QCOMPARE(s.lane.reads + s.lane.started.size(), reached);
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
    // token in time is closed, as on any address; shown in the URL, with
    // auth or in a command, it stays. A wrong one in the URL closes it at once.
    void authTimeoutOnLoopback()
    {
        Served s;
        s.server.overrideAuthTimeout(1000);
        QVERIFY(s.start());
        Peer wrong(s.server, QStringLiteral("?token=%1").arg(QString(apirig::Token).replace(0, 1, QLatin1Char('f'))));
        QVERIFY(wrong.waitClosed() && wrong.messages.isEmpty());
        QCOMPARE(wrong.ws.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        QCOMPARE(wrong.ws.closeReason(), QStringLiteral("wrong token"));
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
