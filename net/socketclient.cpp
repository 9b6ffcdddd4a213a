#include "net/socketclient.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTime>

#include <iterator>

#include "meter/measurement.h"

namespace {
const int StoredAddressWaitMs = 500;
} // namespace

SocketClient::SocketClient(QObject *parent)
    : QObject(parent), socket(new QTcpSocket(this))
{
    connect(socket, &QTcpSocket::readyRead, this, &SocketClient::onReadyRead);
    connect(socket, &QTcpSocket::connected, socket, [this] {
        if (!verifying)
            emit findEnableReady(serverAddress());
    }, Qt::DirectConnection);
    dropLog.setSingleShot(true);
    dropLog.setTimerType(Qt::PreciseTimer);  // a coarse one may fire 5 % early
    dropLog.setInterval(DropLogIntervalMs);
    connect(&dropLog, &QTimer::timeout, this, &SocketClient::logDropped);
    connect(socket, socketErrorSignal, this, &SocketClient::onSocketError);
    connect(socket, &QTcpSocket::disconnected, this, &SocketClient::onDisconnected);
}

SocketClient::~SocketClient()
{
    dropping = true;
    socket->abort();
}

bool SocketClient::tryConnectServer(QString ip)
{
    qDebug() << "_____" << ip;
    // The connection counts only once the meter has answered; until then
    // nothing of it is announced or handed on.
    verifying = true;
    connectToServer(ip);
    const bool answered = socket->waitForConnected(StoredAddressWaitMs) && awaitMeasurementReply();
    verifying = false;
    if (answered) {
        emit findEnableReady(serverAddress());
        return true;
    }
    // The attempt is given up for good: a server that answers late must not
    // bring the data socket up behind the sweep's back.
    dropConnection();
    return false;
}

bool SocketClient::awaitMeasurementReply()
{
    const int before = measurementReplies;
    socket->write(Frames::readMeasurement());
    socket->flush();
    QElapsedTimer waited;
    waited.start();
    while (measurementReplies == before && waited.elapsed() < AnswerWaitMs
           && socket->waitForReadyRead(int(AnswerWaitMs - waited.elapsed()))) {
    }
    return measurementReplies != before;
}

void SocketClient::announceServer(const QString &ip)
{
    foundServer = ip;
    qDebug() << "----------" << ip;
    emit beforeConnect(ip);
}

void SocketClient::connectToServer(QString ip)
{
    dropConnection();
    // A partial frame of the dropped connection must not be glued to the
    // first bytes of the new one.
    cutter.clear();
    target = ip;
    socket->connectToHost(ip, ServerPort, QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
}

void SocketClient::dropConnection()
{
    dropping = true;
    socket->abort();
    dropping = false;
}

void SocketClient::onSendToServer(QByteArray byte)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(byte);
    // The callers pause the thread between commands that the meter must see
    // apart; bytes left in the buffer would go out together after the pause.
    socket->flush();
}

void SocketClient::onReadyRead()
{
    cutter.append(socket->readAll());
    parsePack();
}

namespace {

// Logs a cut frame as qDebug() << time << hex would print it:
// "hh:mm:ss.zzz" "0633...". A read can hold thousands of frames, so the line
// is built in one reused buffer, and the local time is asked for only when
// the monotonic clock has moved on by a millisecond: each QTime::currentTime
// looks at the system's time-zone file, which a flood cannot afford.
void logFrame(const QByteArray &frame)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    static constexpr int stampSize = int(std::size("\"hh:mm:ss.zzz\" \"")) - 1;
    static thread_local QByteArray line;
    static thread_local QElapsedTimer clock;
    static thread_local qint64 stampedAt = -1;
    if (!clock.isValid())
        clock.start();
    if (clock.elapsed() != stampedAt) {
        stampedAt = clock.elapsed();
        line = '"' + QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1()
               + "\" \"";
    }
    line.resize(stampSize + 2 * frame.size() + 1);
    char *out = line.data() + stampSize;
    for (const char byte : frame) {
        *out++ = digits[uchar(byte) >> 4];
        *out++ = digits[uchar(byte) & 0xF];
    }
    *out = '"';
    qDebug().noquote() << QLatin1String(line);
}

} // namespace

void SocketClient::parsePack()
{
    // Each frame leaves the buffer before it is handed on: handling a frame
    // may run a nested event loop that reads and cuts again.
    QByteArray frame;
    while (cutter.next(&frame)) {
        noteDropped();
        logFrame(frame);
        if (Measurement::classify(frame) == Measurement::FrameKind::Measurement)
            ++measurementReplies;
        if (!verifying)
            emit sendParsePack(frame);
    }
    noteDropped();
}

void SocketClient::noteDropped()
{
    const int dropped = cutter.dropped() - droppedSeen;
    if (dropped == 0)
        return;
    droppedSeen += dropped;
    droppedUnlogged += dropped;
    // A meter that garbles every reply must not flood the log: the first
    // drop is said at once, later ones at most once a second.
    if (!dropLog.isActive())
        logDropped();
    emit framesDropped(droppedSeen);
}

void SocketClient::logDropped()
{
    if (droppedUnlogged == 0)
        return;
    qWarning().noquote() << QStringLiteral("checksum: %1 frames dropped").arg(droppedUnlogged);
    droppedUnlogged = 0;
    dropLog.start();
}

void SocketClient::onSocketError(QAbstractSocket::SocketError error)
{
    Q_UNUSED(error);
    if (!dropping)
        emit connectionLost();
}

void SocketClient::onDisconnected()
{
    if (!dropping)
        emit connectionLost();
}
