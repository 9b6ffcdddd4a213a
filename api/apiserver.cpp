#include "api/apiserver.h"

#include <QDebug>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

#include "api/apiaccess.h"
#include "api/apibackend.h"
#include "api/apiclient.h"
#include "api/apimessages.h"

using api::Client;
using api::Command;
using api::CommandKind;

namespace {

QString text(const QJsonObject &message)
{
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

QString peerOf(QWebSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

const QString TooManyCommands = QStringLiteral("refused: too many commands");

} // namespace

ApiServer::ApiServer(ApiBackend *backend, QObject *parent) : QObject(parent), backend(backend)
{
    clock.start();
}

ApiServer::~ApiServer()
{
    stop();
}

bool ApiServer::start(const settings::ApiSettings &settings)
{
    stop();
    config = settings;
    if (!config.enabled) {
        setStatus(QStringLiteral("api: off ([Api] Enabled=false in set.ini)"), false);
        return false;
    }
    if (!config.listenError.isEmpty()) {
        setStatus(QStringLiteral("api: off: ") + config.listenError, true);
        return false;
    }
    const QString refusal = api::listenRefusal(config.address, config.token);
    if (!refusal.isEmpty()) {
        setStatus(refusal, true);
        return false;
    }
    readingNeedsToken = readingNeedsTokenOverride.value_or(api::readingNeedsToken(config.address));
    server = new QWebSocketServer(QStringLiteral("opacimeter-host"), QWebSocketServer::NonSecureMode, this);
    server->setMaxPendingConnections(MaxClients);
    if (!server->listen(config.address, config.port)) {
        setStatus(QStringLiteral("api: off: cannot listen on port %1 of %2: %3")
                      .arg(config.port).arg(config.address.toString(), server->errorString()), true);
        delete server;
        server = nullptr;
        return false;
    }
    connect(server, &QWebSocketServer::newConnection, this, &ApiServer::acceptConnections);
    // Emitted inside the handshake, which the server answers with 403 when
    // the origin is not allowed.
    connect(server, &QWebSocketServer::originAuthenticationRequired, this, &ApiServer::checkOrigin,
            Qt::DirectConnection);
    setStatus(QStringLiteral("api: listening on ws://%1:%2/")
                  .arg(config.address.toString()).arg(server->serverPort()), false);
    return true;
}

void ApiServer::stop()
{
    for (auto &c : connected) {
        c->socket()->disconnect(this);
        c->socket()->abort();
        c->socket()->deleteLater();
    }
    connected.clear();
    delete server;
    server = nullptr;
}

bool ApiServer::listening() const
{
    return server && server->isListening();
}

quint16 ApiServer::port() const
{
    return server ? server->serverPort() : 0;
}

QVector<ApiServer::ClientInfo> ApiServer::clients() const
{
    QVector<ClientInfo> infos;
    for (const auto &c : connected)
        if (!c->gone)
            infos.append({c->authorised, c->backlog(), c->dropped()});
    return infos;
}

void ApiServer::setStatus(const QString &textToShow, bool failure)
{
    status = textToShow;
    if (failure)
        qWarning().noquote() << status;
    else
        qInfo().noquote() << status;
    emit statusChanged(status);
}

void ApiServer::acceptConnections()
{
    while (QWebSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setMaxAllowedIncomingFrameSize(MaxIncomingBytes);
        socket->setMaxAllowedIncomingMessageSize(MaxIncomingBytes);
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        int live = 0;
        for (const auto &c : connected)
            live += c->gone ? 0 : 1;
        if (live >= MaxClients)
            refuse(socket, QStringLiteral("too many clients: at most %1").arg(MaxClients));
        else
            accept(socket);
    }
}

void ApiServer::checkOrigin(QWebSocketCorsAuthenticator *authenticator)
{
    const bool allowed = api::originAllowed(authenticator->origin(), config.origins);
    authenticator->setAllowed(allowed);
    if (!allowed)
        qWarning().noquote() << QStringLiteral("api: refusing a web page from %1: not in [Api] Origins")
                                    .arg(authenticator->origin().left(200));
}

void ApiServer::refuse(QWebSocket *socket, const QString &reason)
{
    qWarning().noquote() << QStringLiteral("api: refusing %1: %2").arg(peerOf(socket), reason);
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated, reason);
    QTimer::singleShot(1000, socket, &QWebSocket::abort);
}

void ApiServer::accept(QWebSocket *socket)
{
    const QUrlQuery query(socket->requestUrl());
    const bool tokenGiven = query.hasQueryItem(QStringLiteral("token"));
    if (tokenGiven && !api::tokenMatches(query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded),
                                         config.token)) {
        refuse(socket, QStringLiteral("wrong token"));
        return;
    }
    connected.push_back(std::make_unique<Client>(socket));
    Client *client = connected.back().get();
    client->tokenGiven = client->tokenSeen = tokenGiven;
    client->authorised = tokenGiven || !readingNeedsToken;
    connect(socket, &QWebSocket::textMessageReceived, this, [this, client](const QString &message) {
        take(client, message);
    });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this, client](const QByteArray &) {
        if (withinRate(client, QJsonValue()))
            sendTo(client, api::errorReply(QJsonValue(), QStringLiteral("commands are JSON text frames, not binary")));
    });
    connect(socket, &QWebSocket::bytesWritten, this, [client] { client->drain(); });
    connect(socket, &QWebSocket::disconnected, this, [this, client] {
        client->gone = true;
        if (!removalQueued)
            QTimer::singleShot(0, this, &ApiServer::removeGone);
        removalQueued = true;
    });
    qInfo().noquote() << QStringLiteral("api: %1 connected (%2 of %3)").arg(peerOf(socket)).arg(connected.size()).arg(MaxClients);
    if (client->authorised)
        greet(client);
    if (!client->tokenSeen)
        QTimer::singleShot(authTimeoutMs, socket, [this, socket] { closeUnauthorised(socket); });
}

void ApiServer::closeUnauthorised(QWebSocket *socket)
{
    const Client *client = clientOf(socket);
    if (client && !client->tokenSeen)
        refuse(socket, QStringLiteral("no auth within %1 s").arg(authTimeoutMs / 1000.0));
}

Client *ApiServer::clientOf(QWebSocket *socket) const
{
    for (const auto &c : connected)
        if (c->socket() == socket && !c->gone)
            return c.get();
    return nullptr;
}

void ApiServer::removeGone()
{
    removalQueued = false;
    connected.erase(std::remove_if(connected.begin(), connected.end(), [](const auto &c) { return c->gone; }),
                    connected.end());
}

void ApiServer::greet(Client *client)
{
    client->greeted = true;
    sendTo(client, api::helloMessage(backend->state()));
}

void ApiServer::sendTo(Client *client, const QJsonObject &message)
{
    client->send(text(message), false);
}

void ApiServer::broadcast(api::Topic topic, const QJsonObject &message)
{
    QString once;
    for (const auto &c : connected) {
        if (!c->wants(topic))
            continue;
        if (once.isNull())
            once = text(message);
        c->send(once, false);
    }
}

void ApiServer::publishReading(const api::Reading &reading)
{
    // Built once for all the clients that take this one, and not at all
    // when none does.
    QString once;
    for (const auto &c : connected) {
        if (!c->wants(api::Topic::Reading) || !c->readingDue(reading.monotonicMs))
            continue;
        if (once.isNull())
            once = text(api::readingMessage(reading));
        c->send(once, true);
    }
}

void ApiServer::publishLink(const api::Link &link)
{
    broadcast(api::Topic::Link, api::linkMessage(link));
}

void ApiServer::publishSeriesStarted(const api::Method &method)
{
    broadcast(api::Topic::Series, api::seriesStartedMessage(method));
}

void ApiServer::publishSnap(const api::SnapEvent &snap)
{
    broadcast(api::Topic::Series, api::snapMessage(snap));
}

void ApiServer::publishSeriesFinished(const api::SeriesOutcome &outcome)
{
    broadcast(api::Topic::Series, api::seriesFinishedMessage(outcome));
}

void ApiServer::publishSeriesAbandoned(const api::SeriesOutcome &outcome)
{
    broadcast(api::Topic::Series, api::seriesAbandonedMessage(outcome));
}

void ApiServer::publishRecord(const QString &id, bool stored)
{
    broadcast(api::Topic::Record, api::recordMessage(id, stored));
}

void ApiServer::publishCheck(const QJsonObject &check)
{
    QJsonObject m = check;
    m.insert(QStringLiteral("type"), QStringLiteral("check"));
    broadcast(api::Topic::Meter, m);
}

void ApiServer::publishMeter(api::MeterEvent event, const QDateTime &time)
{
    broadcast(api::Topic::Meter, api::meterMessage(event, time));
}

void ApiServer::take(Client *client, const QString &message)
{
    if (client->gone || client->closedAsSlow())
        return;
    const api::ParsedCommand parsed = api::parseCommand(message.toUtf8());
    if (!withinRate(client, parsed.id))
        return;
    if (!parsed.ok) {
        sendTo(client, api::errorReply(parsed.id, parsed.error));
        return;
    }
    const QJsonObject reply = answer(client, parsed.command);
    if (!reply.isEmpty())
        sendTo(client, reply);
    if (client->authorised && !client->greeted)
        greet(client);
}

// A refused command is answered all the same, so that a client can tell a
// refusal from a lost reply.
bool ApiServer::withinRate(Client *client, const QJsonValue &id)
{
    if (!client->overRate(clock.elapsed()))
        return true;
    sendTo(client, api::errorReply(id, TooManyCommands));
    return false;
}

QJsonObject ApiServer::answer(Client *client, const Command &command)
{
    const QJsonValue &id = command.id;
    if (command.kind == CommandKind::Auth)
        return authorise(client, command);
    const QString refused = refusal(client, command);
    if (!refused.isEmpty())
        return api::errorReply(id, refused);
    QString error;
    switch (command.kind) {
    case CommandKind::Subscribe:
        return subscribe(client, command);
    case CommandKind::StartTest:
        return startTest(command);
    case CommandKind::StopTest:
        return backend->stopTest(&error) ? api::okReply(id) : api::errorReply(id, error);
    case CommandKind::ClearMaxima:
        return backend->clearMaxima(&error) ? api::okReply(id) : api::errorReply(id, error);
    case CommandKind::StartCheck:
        if (backend->state().link.state != QLatin1String("connected"))
            return api::errorReply(id, QStringLiteral("refused: the meter is not connected"));
        return backend->startCheck(command.checkKind, command.filterName, &error) ? api::okReply(id)
                                                                              : api::errorReply(id, error);
    case CommandKind::GetRecord:
    case CommandKind::ListRecords:
        if (client->readsWaiting >= MaxReadsWaiting)
            return api::errorReply(id, TooManyCommands);
        readRecords(client, command);
        return QJsonObject();
    case CommandKind::Auth:
        break;
    }
    return api::errorReply(id, QStringLiteral("unknown command"));
}

// Why 'command' may not go on, or empty text. Changes always carry the
// token; the records carry it or the connection has shown it.
QString ApiServer::refusal(Client *client, const Command &command)
{
    if (!client->authorised)
        return QStringLiteral("not authorised: connect with ?token= or send auth first");
    const bool records = api::readsRecords(command.kind);
    if (!api::changesState(command.kind) && !(records && !client->tokenGiven))
        return QString();
    if (config.token.isEmpty())
        return records ? QStringLiteral("refused: the API has no token, so no record may be read")
                       : QStringLiteral("refused: the API has no token, so nothing may be changed");
    if (records && command.token.isEmpty())
        return QStringLiteral("not authorised: the records need the token, in the command's token field "
                              "or once with ?token= or auth");
    if (!api::tokenMatches(command.token, config.token))
        return QStringLiteral("wrong token");
    client->tokenSeen = true;
    return QString();
}

// The answer goes out once the backend has read the records; by then the
// client may have gone.
void ApiServer::readRecords(Client *client, const Command &command)
{
    ++client->readsWaiting;
    const QPointer<ApiServer> self(this);
    const QPointer<QWebSocket> socket(client->socket());
    const QJsonValue id = command.id;
    const auto reply = [self, socket, id](const QJsonObject &fields, const QString &error) {
        Client *c = self && socket ? self->clientOf(socket) : nullptr;
        if (!c)
            return;
        --c->readsWaiting;
        sendTo(c, error.isEmpty() ? api::okReply(id, fields) : api::errorReply(id, error));
    };
    // The record stays as stored, for whoever checks its hash; the check's
    // mark goes beside it.
    if (command.kind == CommandKind::GetRecord)
        backend->record(id.toString(), [reply](const QJsonObject &r, const QStringList &differing, const QString &e) {
            QJsonObject fields{{QStringLiteral("record"), r}};
            api::markChecked(&fields, differing);
            reply(fields, e);
        });
    else
        backend->listRecords(command.filter, [reply](const QJsonArray &r, const QString &e) {
            reply({{QStringLiteral("records"), r}}, e);
        });
}

QJsonObject ApiServer::authorise(Client *client, const Command &command)
{
    if (!api::tokenMatches(command.token, config.token))
        return api::errorReply(command.id, QStringLiteral("wrong token"));
    client->authorised = client->tokenGiven = client->tokenSeen = true;
    return api::okReply(command.id);
}

QJsonObject ApiServer::subscribe(Client *client, const Command &command)
{
    client->topics = command.topics;
    client->rate = command.rate;
    QJsonArray topics;
    for (int i = 0; i < api::TopicCount; ++i)
        if (command.topics & (1 << i))
            topics.append(api::topicName(i));
    return api::okReply(command.id, {{QStringLiteral("topics"), topics},
                                     {QStringLiteral("rate"), command.rate ? QJsonValue(command.rate) : QJsonValue()}});
}

QJsonObject ApiServer::startTest(const Command &command)
{
    const api::State now = backend->state();
    if (now.link.state != QLatin1String("connected"))
        return api::errorReply(command.id, QStringLiteral("refused: the meter is not connected"));
    if (now.series.running)
        return api::errorReply(command.id, QStringLiteral("refused: a series is running"));
    QString error;
    if (!backend->startTest(command.vehicle, command.operatorName, command.method, &error))
        return api::errorReply(command.id, error);
    QJsonObject extra;
    if (!command.warnings.isEmpty())
        extra.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(command.warnings));
    return api::okReply(command.id, extra);
}
