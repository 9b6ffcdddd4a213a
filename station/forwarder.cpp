#include "station/forwarder.h"

#include <QCoreApplication>
#include <QDir>
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

void Forwarder::setServer(const settings::StationServer &server)
{
    QMetaObject::invokeMethod(this, [this, server] {
        options.server = server;
        if (!sender)
            return;  // begin() makes the sender with it
        delete sender;
        sender = new QueueSender(options.laneDb, options.server, options.timeouts);
        movedAside.clear();
        failures = 0;
        probe = true;
        runPass();
    }, Qt::QueuedConnection);
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

QString Forwarder::refusedText(int count)
{
    return tr("%1 条记录被站端拒绝").arg(count);
}

QString Forwarder::refusalText(const QString &reason)
{
    return reason == QString::fromUtf8(QueueSender::DiffersText) ? tr(QueueSender::DiffersText) : reason;
}

QString Forwarder::encryptionText(bool encrypted)
{
    return encrypted ? tr("已加密") : tr("未加密");
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
    QString error;
    // What waits shows before a connect that may take its time-out.
    const bool laneExists = QFileInfo::exists(options.laneDb);
    const int waiting = laneExists ? sender->pendingCount(&error) : 0;
    if (waiting > 0)
        emit pending(waiting);
    error.clear();
    if (probe && sender->checkServer(&error)) {
        probe = false;
        emit connected(sender->isEncrypted());
    }
    int remaining = 0;
    // Before the lane's first record there is no database, and nothing to send.
    if (error.isEmpty() && laneExists && sendLane(sender, &error, &remaining))
        drainMovedAside(&error);
    if (worker.isInterruptionRequested())
        return;
    report();
    if (!error.isEmpty()) {
        ++failures;
        emit failed(error);
        timer->start(retryDelayMs(failures, options.firstRetryMs, options.maxRetryMs));
        return;
    }
    failures = 0;
    if (remaining > 0) {
        // Stored while this pass went on: another pass at once.
        emit pending(remaining);
        timer->start(0);
        return;
    }
    emit synced();
    timer->start(options.idlePollMs);
}

// One lane database's queue; false with 'error' set when it cannot be read
// or the server fails.
bool Forwarder::sendLane(QueueSender *from, QString *error, int *remaining)
{
    QString countError;
    const int waiting = from->pendingCount(&countError);
    const QueueSender::Outcome out = from->sendPending([this] { return !worker.isInterruptionRequested(); });
    if (waiting > 0 && out.error.isEmpty() && from == sender)
        emit connected(from->isEncrypted());
    *remaining = qMax(0, out.remaining);
    *error = out.error;
    return out.error.isEmpty();
}

// The unsent records of the lane's databases moved aside, so nothing of
// them is stranded; one that cannot be read is left to whoever looks into
// it, and said once in the log.
bool Forwarder::drainMovedAside(QString *error)
{
    for (const QString &path : movedAsideFiles(options.laneDb)) {
        auto found = movedAside.find(path);
        if (found == movedAside.end())
            found = movedAside.emplace(path, std::make_unique<QueueSender>(path, options.server, options.timeouts)).first;
        if (!found->second)
            continue;
        QString countError;
        if (found->second->pendingCount(&countError) < 0) {
            qWarning("station: %s cannot be read, its unsent records stay in it: %s",
                     qUtf8Printable(path), qUtf8Printable(countError));
            found->second.reset();
            continue;
        }
        int remaining = 0;
        if (!sendLane(found->second.get(), error, &remaining))
            return false;
        if (remaining == 0)
            found->second.reset();
    }
    return true;
}

void Forwarder::report()
{
    QString error;
    QStringList ids, reasons;
    if (QFileInfo::exists(options.laneDb))
        for (const QueueSender::Refusal &refusal : sender->refusals(&error)) {
            ids << refusal.recordId;
            reasons << refusal.reason;
        }
    emit refusalsSeen(ids, reasons);
}

void Forwarder::finish()
{
    delete timer;
    timer = nullptr;
    delete sender;
    sender = nullptr;
    movedAside.clear();  // their connections belong to this thread
    moveToThread(home);
}

QStringList movedAsideFiles(const QString &laneDb)
{
    const QFileInfo lane(laneDb);
    QStringList found;
    const QDir folder = lane.absoluteDir();
    for (const QString &name : folder.entryList({lane.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files, QDir::Time | QDir::Reversed))
        if (!name.endsWith(QLatin1String("-wal")) && !name.endsWith(QLatin1String("-shm")))
            found << folder.filePath(name);
    return found;
}

SyncResult syncOnce(const QString &laneDb, const settings::StationServer &server,
                    const ServerTimeouts &timeouts, bool retryRefused)
{
    QueueSender sender(laneDb, server, timeouts);
    SyncResult result;
    if (retryRefused && sender.requeueRefused(&result.error) < 0)
        return result;
    QueueSender::Outcome out = sender.sendPending();
    result = {out.sent, out.remaining, out.error, {}, {}};
    for (const QString &aside : movedAsideFiles(laneDb)) {
        QueueSender other(aside, server, timeouts);
        QString error;
        if (!out.error.isEmpty() || other.pendingCount(&error) <= 0)
            continue;
        out = other.sendPending();
        result.sent += out.sent;
        result.remaining += qMax(0, out.remaining);
        result.error = out.error;
    }
    QString error;
    for (const QueueSender::Refusal &refusal : sender.refusals(&error)) {
        result.refusedIds << refusal.recordId;
        result.refusedReasons << refusal.reason;
    }
    return result;
}

} // namespace station
