#include "station/queuesender.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "records/recordstore.h"
#include "records/testrecord.h"

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

bool QueueSender::openLane(QString *error)
{
    if (QSqlDatabase::contains(laneName))
        return true;
    // Opening a missing file would make an empty database of it.
    if (!QFileInfo(laneDb).isFile()) {
        *error = QCoreApplication::translate("station", "lane database %1 does not exist").arg(laneDb);
        return false;
    }
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
    QSqlQuery query(QSqlDatabase::database(laneName, false));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM forward_queue WHERE sent IS NULL")) || !query.next()) {
        *error = reasonOf(query.lastError());
        return -1;
    }
    return query.value(0).toInt();
}

bool QueueSender::readBatch(QList<Queued> *batch, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(laneName, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT q.seq, q.record_id, r.json FROM forward_queue q"
                                 " JOIN records r ON r.id = q.record_id"
                                 " WHERE q.sent IS NULL ORDER BY q.seq LIMIT ?"));
    query.addBindValue(BatchSize);
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    while (query.next())
        batch->append({query.value(1).toString(), query.value(2).toString().toUtf8()});
    return true;
}

bool QueueSender::markSent(const QStringList &recordIds, QString *error)
{
    if (recordIds.isEmpty())
        return true;
    // One lane transaction for the lot: a crash before it only sends them
    // again, and the server keeps its first copies.
    QSqlDatabase db = QSqlDatabase::database(laneName, false);
    QSqlQuery query(db);
    bool ok = db.transaction()
        && query.prepare(QStringLiteral("UPDATE forward_queue SET sent = ?, last_error = NULL WHERE record_id = ?"));
    const QString now = RecordTime::text(QDateTime::currentDateTime());
    for (const QString &id : recordIds) {
        query.addBindValue(now);
        query.addBindValue(id);
        ok = ok && query.exec();
    }
    if (ok && db.commit())
        return true;
    *error = reasonOf(query.lastError().isValid() ? query.lastError() : db.lastError());
    db.rollback();
    return false;
}

void QueueSender::noteError(const QString &recordId, const QString &reason)
{
    // Only a hint for whoever looks into the file: the record stays queued
    // whether or not this is written.
    QSqlQuery query(QSqlDatabase::database(laneName, false));
    query.prepare(QStringLiteral("UPDATE forward_queue SET last_error = ? WHERE record_id = ?"));
    query.addBindValue(reason);
    query.addBindValue(recordId);
    query.exec();
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
        QStringList committed;
        for (const Queued &record : qAsConst(batch)) {
            if (keepGoing && !keepGoing())
                break;
            if (!insertRecord(QSqlDatabase::database(serverName, false), record.json, &out.error)) {
                dropServer();
                noteError(record.recordId, out.error);
                break;
            }
            committed << record.recordId;
        }
        QString markError;
        if (markSent(committed, &markError))
            out.sent += committed.size();
        else if (out.error.isEmpty())
            out.error = markError;
    }
    QString countError;
    out.remaining = pendingCount(&countError);
    if (out.error.isEmpty())
        out.error = countError;
    return out;
}

} // namespace station
