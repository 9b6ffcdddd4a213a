#include "simulator/meterserver.h"

#include <QTcpSocket>

#include "common/console.h"
#include "common/numbers.h"
#include "simulator/meterreplies.h"

using console::hex;

namespace {
QString peerOf(const QTcpSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}
} // namespace

MeterServer::MeterServer(const SimOptions &options, std::unique_ptr<Scenario> scenario,
                         QObject *parent)
    : QObject(parent), options(options), scenario(std::move(scenario))
{
    partialTimer.setSingleShot(true);
    connect(&partialTimer, &QTimer::timeout, this, &MeterServer::dropPartialCommand);
    connect(&pieceTimer, &QTimer::timeout, this, &MeterServer::writeNextPiece);
    // Later clients stay in the system's backlog while one is served.
    server.setMaxPendingConnections(1);
    connect(&server, &QTcpServer::newConnection, this, &MeterServer::takeNextClient);
    outageTimer.setSingleShot(true);
}

bool MeterServer::parseOutage(const QString &text, int *afterMs, int *forMs)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    qint64 after = 0;
    qint64 away = 0;
    if (parts.size() != 2 || !numbers::parseInt(parts.at(0), 1, 3600000, &after)
        || !numbers::parseInt(parts.at(1), 1, 3600000, &away))
        return false;
    *afterMs = int(after);
    *forMs = int(away);
    return true;
}

MeterServer::~MeterServer()
{
    stop();
}

bool MeterServer::start(QString *error)
{
    clock.start();
    if (!options.serialPath.isEmpty()) {
        line = new PtyLine(this);
        if (!line->open(options.serialPath, error))
            return false;
        client = line;
        connect(line, &QIODevice::readyRead, this, &MeterServer::readCommands);
        return true;
    }
    if (options.noAccept)
        return noAccept.listen(options.address, options.port, error);
    if (!server.listen(options.address, options.port)) {
        *error = server.errorString();
        return false;
    }
    listeningPort = server.serverPort();
    if (options.outageAfterMs > 0) {
        connect(&outageTimer, &QTimer::timeout, this, &MeterServer::toggleOutage);
        outageTimer.start(options.outageAfterMs);
    }
    return true;
}

// The server goes away as a switched-off gateway does: the connection drops
// and new ones are refused until it is back.
void MeterServer::toggleOutage()
{
    away = !away;
    if (away) {
        server.close();
        note(QStringLiteral("outage: refusing connections for %1 ms").arg(options.outageForMs));
        if (auto *socket = qobject_cast<QTcpSocket *>(client))
            socket->abort();
        outageTimer.start(options.outageForMs);
    } else if (server.listen(options.address, listeningPort)) {
        note(QStringLiteral("outage over: listening again"));
        outageTimer.start(options.outageAfterMs);
    } else {
        note(QStringLiteral("outage over, but cannot listen again: ") + server.errorString());
    }
}

void MeterServer::stop()
{
    outageTimer.stop();
    server.close();
    noAccept.close();
    if (auto *socket = qobject_cast<QTcpSocket *>(client)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    client = nullptr;
    if (line)
        line->close();
    pieceTimer.stop();
    partialTimer.stop();
}

quint16 MeterServer::port() const
{
    return options.noAccept ? noAccept.port() : server.serverPort();
}

void MeterServer::note(const QString &text)
{
    emit logLine(console::timeStamp() + QLatin1Char(' ') + text);
}

void MeterServer::traffic(const QString &text)
{
    if (!options.quiet)
        note(text);
}

void MeterServer::takeNextClient()
{
    if (client || !server.hasPendingConnections())
        return;
    QTcpSocket *socket = server.nextPendingConnection();
    client = socket;
    cutter.takePartial();
    outgoing.clear();
    replies = 0;
    closing = false;
    // A real serial server passes bytes on as they come; without this the
    // system would merge the pieces of --split back together.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &MeterServer::readCommands);
    connect(socket, &QTcpSocket::disconnected, this, &MeterServer::onDisconnected);
    note(QStringLiteral("client %1 connected").arg(peerOf(socket)));
    if (socket->state() != QAbstractSocket::ConnectedState)
        onDisconnected();
    else if (socket->bytesAvailable() > 0)
        readCommands();
}

void MeterServer::onDisconnected()
{
    if (!client)
        return;
    QIODevice *socket = client;
    client = nullptr;
    socket->disconnect(this);
    socket->deleteLater();
    pieceTimer.stop();
    partialTimer.stop();
    cutter.takePartial();
    outgoing.clear();
    note(QStringLiteral("client disconnected"));
    takeNextClient();
}

void MeterServer::readCommands()
{
    if (!client)
        return;
    cutter.append(client->readAll());
    QByteArray command;
    QByteArray stray;
    bool more = true;
    while (more && client) {
        more = cutter.next(&command, &stray);
        if (!stray.isEmpty())
            traffic(QStringLiteral("recv %1 (stray bytes, not a command)").arg(hex(stray)));
        if (more)
            handle(command);
    }
    if (cutter.hasPartial())
        partialTimer.start(PartialCommandTimeoutMs);
    else
        partialTimer.stop();
}

void MeterServer::dropPartialCommand()
{
    traffic(QStringLiteral("recv %1 (incomplete command, dropped)").arg(hex(cutter.takePartial())));
}

void MeterServer::handle(const QByteArray &command)
{
    const MeterReplies::Kind kind = MeterReplies::classify(command);
    if (options.silent) {
        traffic(QStringLiteral("recv %1 (silent: no reply)").arg(hex(command)));
        return;
    }
    if (closing) {
        traffic(QStringLiteral("recv %1 (closing: no reply)").arg(hex(command)));
        return;
    }
    switch (kind) {
    case MeterReplies::Kind::Measurement:
        traffic(QStringLiteral("recv %1").arg(hex(command)));
        sendReply(MeasurementFrame::encode(scenario->at(clock.elapsed())));
        break;
    case MeterReplies::Kind::CalibrationStart:
    case MeterReplies::Kind::FactoryReset:
        traffic(QStringLiteral("recv %1").arg(hex(command)));
        sendReply(MeterReplies::fixedReply(kind));
        break;
    case MeterReplies::Kind::CalibrationFinish: {
        traffic(QStringLiteral("recv %1 (calibrating: reply in %2 ms)")
                    .arg(hex(command))
                    .arg(options.calibrationDelayMs));
        const QByteArray reply = MeterReplies::fixedReply(kind);
        // The socket is the context: a client that leaves cancels the reply.
        QTimer::singleShot(options.calibrationDelayMs, client.data(),
                           [this, reply] { sendReply(reply); });
        break;
    }
    case MeterReplies::Kind::Unknown:
        traffic(QStringLiteral("recv %1 (unknown command: no reply)").arg(hex(command)));
        break;
    }
}

void MeterServer::sendReply(const QByteArray &rightFrame)
{
    if (!client || closing)
        return;
    const int index = replies++;
    QByteArray frame = rightFrame;
    if (options.badChecksumEvery > 0 && (index + 1) % options.badChecksumEvery == 0)
        frame.back() = char(frame.back() + 1);
    QByteArray stray;
    if (options.garbage && MeterReplies::garbageBefore(index))
        stray = MeterReplies::strayBytes(index);
    if (options.strayEvery > 0 && (index + 1) % options.strayEvery == 0)
        stray.append(Frames::MeterStart);
    const QByteArray bytes = stray + frame;
    if (stray.isEmpty())
        traffic(QStringLiteral("sent %1").arg(hex(frame)));
    else
        traffic(QStringLiteral("sent %1 (after stray bytes %2)").arg(hex(frame), hex(stray)));
    closing = options.dropAfter > 0 && replies >= options.dropAfter;

    if (options.splitBytes > 0) {
        outgoing.append(bytes);
        if (!pieceTimer.isActive()) {
            pieceTimer.start(SplitGapMs);
            writeNextPiece();
        }
    } else {
        client->write(bytes);
        if (closing)
            closeAfterLastReply();
    }
}

void MeterServer::writeNextPiece()
{
    if (!client)
        return;
    if (outgoing.isEmpty()) {
        pieceTimer.stop();
        return;
    }
    client->write(outgoing.left(options.splitBytes));
    outgoing.remove(0, options.splitBytes);
    if (outgoing.isEmpty()) {
        pieceTimer.stop();
        if (closing)
            closeAfterLastReply();
    }
}

void MeterServer::closeAfterLastReply()
{
    note(QStringLiteral("closing the connection after %1 replies").arg(replies));
    // Sends what is still buffered, then closes; onDisconnected follows.
    if (auto *socket = qobject_cast<QTcpSocket *>(client))
        socket->disconnectFromHost();
}
