#include "station/forwarder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include "station/queuesender.h"

namespace station {

Forwarder::Forwarder(const ForwardOptions &options) : options(options)
{
    worker.setObjectName(QStringLiteral("forwarder"));
}

Forwarder::~Forwarder()
{
    if (!worker.isRunning())
        return;
    worker.requestInterruption();
    // The sender's connections and the timer must go on the thread they
    // belong to; this waits at most for the statement under way.
    QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
}

void Forwarder::start()
{
    if (worker.isRunning())
        return;
    home = thread();
    moveToThread(&worker);
    worker.start();
    QMetaObject::invokeMethod(this, [this] { begin(); }, Qt::QueuedConnection);
}

void Forwarder::tryNow()
{
    // A burst of asks makes one try.
    if (tryQueued.testAndSetOrdered(0, 1))
        QMetaObject::invokeMethod(this, [this] { runPass(); }, Qt::QueuedConnection);
}

int Forwarder::retryDelayMs(int failures, int firstMs, int maxMs)
{
    qint64 delay = qMax(1, firstMs);
    for (int i = 1; i < failures && delay < maxMs; ++i)
        delay *= 2;
    return int(qMin<qint64>(delay, maxMs));
}

QString Forwarder::syncedText()
{
    return tr("记录已同步");
}

QString Forwarder::pendingText(int count)
{
    return tr("待上传 %1 条").arg(count);
}

QString Forwarder::failedText(const QString &reason)
{
    return tr("数据库连接失败：") + reason;
}

void Forwarder::begin()
{
    sender = new QueueSender(options.laneDb, options.server, options.timeouts);
    timer = new QTimer;
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] { runPass(); });
    runPass();
}

void Forwarder::runPass()
{
    tryQueued.storeRelease(0);
    if (!sender || worker.isInterruptionRequested())
        return;
    timer->stop();
    // Before the lane's first record there is no database, and nothing to send.
    if (!QFileInfo::exists(options.laneDb)) {
        failures = 0;
        emit synced();
        timer->start(options.idlePollMs);
        return;
    }
    QString countError;
    const int waiting = sender->pendingCount(&countError);
    if (waiting > 0)
        emit pending(waiting);
    const QueueSender::Outcome out = sender->sendPending([this] { return !worker.isInterruptionRequested(); });
    if (worker.isInterruptionRequested())
        return;
    if (!out.error.isEmpty()) {
        ++failures;
        emit failed(out.error);
        timer->start(retryDelayMs(failures, options.firstRetryMs, options.maxRetryMs));
        return;
    }
    failures = 0;
    if (out.remaining > 0) {
        // Stored while this pass went on: another pass at once.
        emit pending(out.remaining);
        timer->start(0);
        return;
    }
    emit synced();
    timer->start(options.idlePollMs);
}

void Forwarder::finish()
{
    delete timer;
    timer = nullptr;
    delete sender;
    sender = nullptr;
    moveToThread(home);
}

SyncResult syncOnce(const QString &laneDb, const settings::StationServer &server,
                    const ServerTimeouts &timeouts)
{
    QueueSender sender(laneDb, server, timeouts);
    const QueueSender::Outcome out = sender.sendPending();
    return {out.sent, out.remaining, out.error};
}

} // namespace station
