#include "station/queuesender.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

#include "records/recordstore.h"

#include <sys/stat.h>

namespace station {

namespace {

constexpr int BatchSize = 100;

} // namespace

QueueSender::QueueSender(const QString &laneDb, const settings::StationServer &server,
                         const ServerTimeouts &timeouts)
    : laneDb(laneDb), server(server), timeouts(timeouts)
{
    static QAtomicInt serial;
    const int n = serial.fetchAndAddRelaxed(1);
    laneName = QStringLiteral("opa-forward-lane-%1").arg(n);
    serverName = QStringLiteral("opa-forward-station-%1").arg(n);
}

QueueSender::~QueueSender()
{
    dropServer();
    if (QSqlDatabase::contains(laneName)) {
        QSqlDatabase::database(laneName, false).close();
        QSqlDatabase::removeDatabase(laneName);
    }
}

namespace {

// The file a path names now: after the lane's database was moved aside the
// same path names a new file.
quint64 fileIdOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? quint64(info.st_ino) : 0;
}

QString source(const char *text)
{
    return QCoreApplication::translate("station", text);
}

} // namespace

bool QueueSender::sameFile()
{
    return laneFileId != 0 && fileIdOf(laneDb) == laneFileId;
}

bool QueueSender::openLane(QString *error)
{
    if (QSqlDatabase::contains(laneName)) {
        if (sameFile())
            return true;
        QSqlDatabase::database(laneName, false).close();
        QSqlDatabase::removeDatabase(laneName);
    }
    // Opening a missing file would make an empty database of it.
    if (!QFileInfo(laneDb).isFile()) {
        *error = source("lane database %1 does not exist").arg(laneDb);
        return false;
    }
    // A file an older program wrote gets the queue's newer columns first; a
    // file moved aside stays where it is.
    {
        RecordStore upgrade;
        if (!upgrade.open(laneDb, RecordStore::Mode::InPlace)) {
            *error = upgrade.errorString();
            return false;
        }
    }
    laneFileId = fileIdOf(laneDb);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), laneName);
        db.setDatabaseName(laneDb);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        opened = db.open();
        if (!opened)
            *error = reasonOf(db.lastError());
        // It marks records sent: that must survive a power cut too.
        else if (const QString problem = durabilityProblem(db); !problem.isEmpty())
            qWarning("station: %s", qPrintable(problem));
    }
    if (!opened)
        QSqlDatabase::removeDatabase(laneName);
    return opened;
}

bool QueueSender::openServer(QString *error)
{
    if (QSqlDatabase::contains(serverName))
        return true;
    if (!station::openServer(server, serverName, timeouts, error))
        return false;
    // Every new connection checks the schema: the server may have been
    // set up afresh while it was away.
    if (migrateServer(QSqlDatabase::database(serverName, false), error) < 0) {
        dropServer();
        return false;
    }
    encrypted = station::isEncrypted(QSqlDatabase::database(serverName, false));
    return true;
}

void QueueSender::dropServer()
{
    if (!QSqlDatabase::contains(serverName))
        return;
    QSqlDatabase::database(serverName, false).close();
    QSqlDatabase::removeDatabase(serverName);
}

int QueueSender::pendingCount(QString *error)
{
    if (!openLane(error))
        return -1;
    ForwardQueue queue(QSqlDatabase::database(laneName, false));
    const int count = queue.pendingCount();
    if (count < 0)
        *error = reasonOf(queue.lastError());
    return count;
}

bool QueueSender::readBatch(QList<Queued> *batch, QString *error)
{
    ForwardQueue queue(QSqlDatabase::database(laneName, false));
    if (queue.oldest(BatchSize, batch))
        return true;
    *error = reasonOf(queue.lastError());
    return false;
}

bool QueueSender::settle(const QList<Queued> &batch, const QVector<Arrival> &arrivals, Outcome *out)
{
    // One lane transaction for the lot: a crash before it only sends them
    // again, and the server keeps its first copies.
    QSqlDatabase db = QSqlDatabase::database(laneName, false);
    ForwardQueue queue(db);
    bool ok = db.transaction();
    const QDateTime now = QDateTime::currentDateTime();
    int settled = 0, stored = 0;
    for (int i = 0; ok && i < batch.size(); ++i) {
        const Arrival arrival = arrivals.at(i);
        if (arrival == Arrival::Unknown)
            continue;
        ok = arrival == Arrival::Different ? queue.markDiffers(batch.at(i).recordId, QString::fromUtf8(DiffersText))
                                           : queue.markSent(batch.at(i).recordId, now);
        ++settled;
        stored += arrival != Arrival::Different;
    }
    if (ok && db.commit()) {
        out->sent += stored;
        // Held by another lane's open transaction: asked again at the next try.
        if (settled == 0)
            out->error = source("record %1 is being stored by another connection").arg(batch.first().recordId);
        return settled > 0;
    }
    const QSqlError failure = queue.lastError();
    out->error = reasonOf(failure.isValid() ? failure : db.lastError());
    db.rollback();
    return false;
}

bool QueueSender::setAside(const QString &recordId, const QString &reason, QString *error)
{
    ForwardQueue queue(QSqlDatabase::database(laneName, false));
    if (queue.setAside(recordId, reason))
        return true;
    *error = reasonOf(queue.lastError());
    return false;
}

void QueueSender::noteError(const QString &recordId, const QString &reason)
{
    // Only a hint for whoever looks into the file: the record stays queued
    // whether or not this is written.
    ForwardQueue(QSqlDatabase::database(laneName, false)).noteError(recordId, reason);
}

bool QueueSender::sendBatch(const QList<Queued> &batch, const std::function<bool()> &keepGoing, Outcome *out)
{
    // Fetched for each statement: no handle may outlive dropServer().
    const auto db = [this] { return QSqlDatabase::database(serverName, false); };
    QList<QByteArray> docs;
    for (const Queued &record : batch)
        docs << record.json;
    QVector<Arrival> arrivals;
    bool permanent = false;
    if (insertRecords(db(), docs, &arrivals, &out->error, &permanent))
        return settle(batch, arrivals, out);
    // One record of the lot refused: one at a time finds it, and the others
    // go on.
    for (int i = 0; permanent && i < batch.size(); ++i) {
        if (keepGoing && !keepGoing())
            return false;
        out->error.clear();
        bool refused = false;
        if (insertRecords(db(), {batch.at(i).json}, &arrivals, &out->error, &refused)) {
            if (!settle({batch.at(i)}, arrivals, out))
                return false;
        } else if (!refused || !setAside(batch.at(i).recordId, out->error, &out->error)) {
            break;
        } else {
            out->error.clear();
        }
    }
    if (out->error.isEmpty())
        return true;
    dropServer();
    noteError(batch.first().recordId, out->error);
    return false;
}

QueueSender::Outcome QueueSender::sendPending(const std::function<bool()> &keepGoing)
{
    Outcome out;
    QList<Queued> batch;
    while (out.error.isEmpty() && (!keepGoing || keepGoing())) {
        batch.clear();
        if (!openLane(&out.error) || !readBatch(&batch, &out.error) || batch.isEmpty())
            break;
        if (!openServer(&out.error)) {
            noteError(batch.first().recordId, out.error);
            break;
        }
        if (!sendBatch(batch, keepGoing, &out))
            break;
    }
    QString countError;
    out.remaining = pendingCount(&countError);
    if (out.error.isEmpty())
        out.error = countError;
    return out;
}

QVector<QueueSender::Refusal> QueueSender::refusals(QString *error)
{
    QVector<Refusal> found;
    if (!openLane(error))
        return found;
    ForwardQueue queue(QSqlDatabase::database(laneName, false));
    QVector<ForwardQueue::SetAside> aside;
    if (!queue.setAsideRecords(&aside))
        *error = reasonOf(queue.lastError());
    for (const ForwardQueue::SetAside &record : qAsConst(aside))
        found.append({record.recordId, record.reason});
    return found;
}

int QueueSender::requeueRefused(QString *error)
{
    if (!openLane(error))
        return -1;
    ForwardQueue queue(QSqlDatabase::database(laneName, false));
    const int requeued = queue.requeueSetAside();
    if (requeued < 0)
        *error = reasonOf(queue.lastError());
    return requeued;
}

} // namespace station
