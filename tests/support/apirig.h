#ifndef TESTS_SUPPORT_APIRIG_H
#define TESTS_SUPPORT_APIRIG_H

#include <QtTest>

#include <algorithm>
#include <QTcpSocket>
#include <QWebSocket>

#include "api/apibackend.h"
#include "api/apiserver.h"

namespace apirig {

const QString Token = QStringLiteral("0123456789abcdef0123456789abcdef");

// The lane as the API sees it: a state to report and the commands it got.
class LaneStandIn : public ApiBackend
{
public:
    QList<api::Vehicle> started;

    api::State state() const override { return {QStringLiteral("1.0"), {QStringLiteral("connected"), QStringLiteral("127.0.0.1")}, {}, QStringLiteral("自定义")}; }
    bool startTest(const api::Vehicle &v, const QString &, const QString &, QString *) override { started.append(v); return true; }
    bool stopTest(QString *) override { return true; }
    bool clearMaxima(QString *) override { return true; }
    // Answered from the event loop, as the lane's reader answers, or held
    // until released.
    bool holdReads = false;
    QList<std::function<void()>> heldReads;
    int reads = 0;

    void record(const QString &id, RecordDone done) override
    {
        answerLater([id, done] { done({{QStringLiteral("id"), id}}, {}, QString()); });
    }
    void listRecords(const api::RecordFilter &, ListDone done) override
    {
        answerLater([done] { done({}, QString()); });
    }
    void answerLater(const std::function<void()> &answer)
    {
        ++reads;
        if (holdReads)
            heldReads.append(answer);
        else
            QTimer::singleShot(0, answer);
    }
};

inline settings::ApiSettings onLoopback(const QString &token = Token)
{
    settings::ApiSettings s;
    s.port = 0;
    s.token = token;
    return s;
}

// The stand-in and its server; start() listens on 127.0.0.1, as if on
// another address when asked.
struct Served {
    LaneStandIn lane;
    ApiServer server{&lane};
    settings::ApiSettings config = onLoopback();
    bool start(bool otherAddress = false)
    {
        server.overrideReadingNeedsToken(otherAddress);
        return server.start(config);
    }
};

// A WebSocket client that keeps every message it gets.
class Peer
{
public:
    explicit Peer(const ApiServer &server, const QString &query = QString())
    {
        QObject::connect(&ws, &QWebSocket::textMessageReceived, [this](const QString &m) {
            messages.append(QJsonDocument::fromJson(m.toUtf8()).object());
        });
        ws.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/%2").arg(server.port()).arg(query)));
    }

    bool waitConnected() { return QTest::qWaitFor([&] { return ws.state() == QAbstractSocket::ConnectedState; }, 5000); }
    bool waitClosed() { return QTest::qWaitFor([&] { return ws.state() == QAbstractSocket::UnconnectedState; }, 5000); }

    // Sends a command and waits for its reply; an invalid object if none
    // came. getRecord's id is the record's.
    QJsonObject ask(QJsonObject command)
    {
        if (!command.contains(QStringLiteral("id")))
            command.insert(QStringLiteral("id"), QStringLiteral("q%1").arg(++asked));
        const QJsonValue id = command.value(QStringLiteral("id"));
        if (!waitConnected())
            return QJsonObject();
        ws.sendTextMessage(QJsonDocument(command).toJson(QJsonDocument::Compact));
        return waitFor([&](const QJsonObject &m) { return m.value(QStringLiteral("type")) == QLatin1String("reply") && m.value(QStringLiteral("id")) == id; });
    }

    QJsonObject waitFor(const std::function<bool(const QJsonObject &)> &match)
    {
        QJsonObject found;
        (void)QTest::qWaitFor([&] {
            const auto at = std::find_if(messages.cbegin(), messages.cend(), match);
            return at != messages.cend() && !(found = *at).isEmpty();
        }, 20000);  // generous: the leak checker slows a busy peer
        return found;
    }

    QJsonObject waitType(const char *type)
    {
        return waitFor([type](const QJsonObject &m) { return m.value(QStringLiteral("type")) == QLatin1String(type); });
    }

    QList<QJsonObject> ofType(const char *type) const
    {
        QList<QJsonObject> list;
        std::copy_if(messages.cbegin(), messages.cend(), std::back_inserter(list),
                     [type](const QJsonObject &m) { return m.value(QStringLiteral("type")) == QLatin1String(type); });
        return list;
    }

    QWebSocket ws;
    QList<QJsonObject> messages;
    int asked = 0;
};

// The records' commands carry the token unless the connection has shown it.
inline QJsonObject withToken(QJsonObject command)
{
    command.insert(QStringLiteral("token"), Token);
    return command;
}

// A client that takes the handshake's answer, then reads nothing; it shows
// the token in the URL, so that it outlasts the auth time-out.
inline bool openStalled(QTcpSocket &s, quint16 port)
{
    s.setReadBufferSize(1);
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return false;
    s.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    return s.write("GET /?token=" + Token.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n") > 0;
}

// "ok", or the error a reply carries.
inline QString said(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("ok")).toBool() ? QStringLiteral("ok") : reply.value(QStringLiteral("error")).toString();
}

// A message's field as text, whatever its JSON type.
inline QString field(const QJsonObject &m, const char *key) { return m.value(QLatin1String(key)).toVariant().toString(); }

inline QJsonObject cmd(const char *name, QJsonObject fields = QJsonObject())
{
    fields.insert(QStringLiteral("cmd"), QLatin1String(name));
    return fields;
}

} // namespace apirig

#endif
