#ifndef API_APISERVER_H
#define API_APISERVER_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

#include "api/apicommand.h"
#include "api/apitypes.h"
#include "config/apisettings.h"

class ApiBackend;
class QWebSocket;
class QWebSocketCorsAuthenticator;
class QWebSocketServer;

namespace api {
class Client;
}

// The program's WebSocket API: JSON text frames to and from up to
// MaxClients clients. The lane's events come in through the publish
// methods; commands go to the backend. Nothing a client does can block the
// program or make it hold more than a bounded amount for that client.
class ApiServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxClients = 16;
    static constexpr int MaxIncomingBytes = 64 * 1024;
    // A client that has not shown the token after this long is closed, so
    // that strangers cannot hold every place, on loopback too.
    static constexpr int AuthTimeoutMs = 10000;
    // Record reads a client may have waiting; beyond them, and beyond
    // Client::MaxCommandsPerSecond, commands are refused, so that one
    // client cannot keep the database's reader busy for everyone.
    static constexpr int MaxReadsWaiting = 4;

    struct ClientInfo {
        bool authorised = false;
        qint64 backlog = 0;  // bytes not yet taken by the client
        qint64 dropped = 0;  // readings dropped for it
    };

    explicit ApiServer(ApiBackend *backend, QObject *parent = nullptr);
    ~ApiServer() override;

    // Listens as 'config' says; false, with statusText() and one log line
    // saying why, when the API is off, refused or cannot listen. The
    // program goes on either way.
    bool start(const settings::ApiSettings &config);
    void stop();

    bool listening() const;
    quint16 port() const;
    // For the header strip's tooltip.
    QString statusText() const { return status; }
    QVector<ClientInfo> clients() const;

    // Tests listen on loopback but need the rules of another address.
    void overrideReadingNeedsToken(std::optional<bool> needed) { readingNeedsTokenOverride = needed; }
    void overrideAuthTimeout(int ms) { authTimeoutMs = ms; }

    void publishReading(const api::Reading &reading);
    void publishLink(const api::Link &link);
    void publishSeriesStarted(const api::Method &method);
    void publishSnap(const api::SnapEvent &snap);
    void publishSeriesFinished(const api::SeriesOutcome &outcome);
    void publishSeriesAbandoned(const api::SeriesOutcome &outcome);
    void publishRecord(const QString &id, bool stored);
    void publishMeter(api::MeterEvent event, const QDateTime &time);
    // A daily check's end, on the meter topic: kind, passed, meanN, limits, id.
    void publishCheck(const QJsonObject &check);

signals:
    void statusChanged(const QString &status);

private:
    void setStatus(const QString &text, bool failure);
    void acceptConnections();
    void accept(QWebSocket *socket);
    void refuse(QWebSocket *socket, const QString &reason);
    void checkOrigin(QWebSocketCorsAuthenticator *authenticator);
    void closeUnauthorised(QWebSocket *socket);
    api::Client *clientOf(QWebSocket *socket) const;
    void removeGone();
    void greet(api::Client *client);
    void broadcast(api::Topic topic, const QJsonObject &message);
    void take(api::Client *client, const QString &text);
    bool withinRate(api::Client *client, const QJsonValue &id);
    // An empty object when the answer follows later.
    QJsonObject answer(api::Client *client, const api::Command &command);
    QString refusal(api::Client *client, const api::Command &command);
    void readRecords(api::Client *client, const api::Command &command);
    QJsonObject startTest(const api::Command &command);
    QJsonObject authorise(api::Client *client, const api::Command &command);
    QJsonObject subscribe(api::Client *client, const api::Command &command);
    static void sendTo(api::Client *client, const QJsonObject &message);

    ApiBackend *backend;
    QWebSocketServer *server = nullptr;
    settings::ApiSettings config;
    bool readingNeedsToken = false;
    std::optional<bool> readingNeedsTokenOverride;
    std::vector<std::unique_ptr<api::Client>> connected;
    bool removalQueued = false;
    int authTimeoutMs = AuthTimeoutMs;
    QElapsedTimer clock;  // for the clients' command rates
    QString status;
};

#endif
