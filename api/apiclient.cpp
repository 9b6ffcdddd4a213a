#include "api/apiclient.h"

#include <QDebug>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

namespace api {

namespace {
// Time a slow client gets to take the close frame before the connection is
// cut, since its unread data would otherwise be held for it indefinitely.
constexpr int CloseGraceMs = 1000;
} // namespace

Client::Client(QWebSocket *socket) : ws(socket) {}

bool Client::readingDue(qint64 monotonicMs)
{
    if (rate > 0 && anyReading && monotonicMs - lastReadingMs < 1000 / rate - RateSlackMs)
        return false;
    anyReading = true;
    lastReadingMs = monotonicMs;
    return true;
}

bool Client::overRate(qint64 monotonicMs)
{
    if (commandsThisSecond == 0 || monotonicMs - rateSecondStart >= 1000) {
        rateSecondStart = monotonicMs;
        commandsThisSecond = 0;
    }
    return ++commandsThisSecond > MaxCommandsPerSecond;
}

qint64 Client::backlog() const
{
    return ws->bytesToWrite() + queuedBytes;
}

void Client::send(const QString &text, bool reading)
{
    if (gone || closing)
        return;
    if (queue.empty() && ws->bytesToWrite() < SocketHighWater) {
        ws->sendTextMessage(text);
        return;
    }
    queue.push_back({text, reading});
    queuedBytes += text.size();
    if (reading) {
        queuedReadingBytes += text.size();
        while (queuedReadingBytes > ReadingQueueLimit)
            dropOldestReading();
    }
    if (backlog() > BacklogLimit)
        closeAsSlow();
}

void Client::drain()
{
    while (!queue.empty() && !closing && ws->bytesToWrite() < SocketHighWater) {
        const Pending next = std::move(queue.front());
        queue.pop_front();
        queuedBytes -= next.text.size();
        if (next.reading)
            queuedReadingBytes -= next.text.size();
        ws->sendTextMessage(next.text);
    }
}

void Client::dropOldestReading()
{
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (it->reading) {
            queuedBytes -= it->text.size();
            queuedReadingBytes -= it->text.size();
            queue.erase(it);
            ++droppedReadings;
            return;
        }
    }
}

void Client::closeAsSlow()
{
    closing = true;
    qWarning().noquote() << QStringLiteral("api: closing %1:%2, which stopped reading (%3 bytes waiting)")
                                .arg(ws->peerAddress().toString()).arg(ws->peerPort()).arg(backlog());
    queue.clear();
    queuedBytes = queuedReadingBytes = 0;
    ws->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("too slow: more than 1 MiB waiting"));
    QPointer<QWebSocket> socket(ws);
    QTimer::singleShot(CloseGraceMs, ws, [socket] {
        if (socket)
            socket->abort();
    });
}

} // namespace api
