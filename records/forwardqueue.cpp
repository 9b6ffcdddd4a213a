#include "records/forwardqueue.h"

#include <QVariant>

#include "records/testrecord.h"

bool ForwardQueue::run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    error = query.lastError();
    return false;
}

bool ForwardQueue::update(std::optional<QSqlQuery> *statement, const char *sql, const QVariantList &values)
{
    if (!*statement) {
        statement->emplace(db);
        if (!(*statement)->prepare(QLatin1String(sql))) {
            error = (*statement)->lastError();
            statement->reset();
            return false;
        }
    }
    for (const QVariant &value : values)
        (*statement)->addBindValue(value);
    return run(**statement);
}

bool ForwardQueue::add(const QString &recordId, const QDateTime &queued)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO forward_queue (record_id, queued) VALUES (?, ?)"));
    query.addBindValue(recordId);
    query.addBindValue(RecordTime::text(queued));
    return run(query);
}

int ForwardQueue::pendingCount()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM forward_queue WHERE sent IS NULL AND refused IS NULL"))
        || !query.next()) {
        error = query.lastError();
        return -1;
    }
    return query.value(0).toInt();
}

bool ForwardQueue::oldest(int limit, QList<Waiting> *batch)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT q.seq, q.record_id, r.json FROM forward_queue q"
                                 " JOIN records r ON r.id = q.record_id"
                                 " WHERE q.sent IS NULL AND q.refused IS NULL ORDER BY q.seq LIMIT ?"));
    query.addBindValue(limit);
    if (!run(query))
        return false;
    while (query.next())
        batch->append({query.value(1).toString(), query.value(2).toString().toUtf8()});
    return true;
}

bool ForwardQueue::markSent(const QString &recordId, const QDateTime &at)
{
    return update(&sent, "UPDATE forward_queue SET sent = ?, last_error = NULL WHERE record_id = ?",
                  {RecordTime::text(at), recordId});
}

bool ForwardQueue::markDiffers(const QString &recordId, const QString &reason)
{
    return update(&differs, "UPDATE forward_queue SET refused = ? WHERE record_id = ?", {reason, recordId});
}

bool ForwardQueue::setAside(const QString &recordId, const QString &reason)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE forward_queue SET refused = ?, last_error = ? WHERE record_id = ?"));
    query.addBindValue(reason);
    query.addBindValue(reason);
    query.addBindValue(recordId);
    return run(query);
}

bool ForwardQueue::noteError(const QString &recordId, const QString &reason)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE forward_queue SET last_error = ? WHERE record_id = ?"));
    query.addBindValue(reason);
    query.addBindValue(recordId);
    return run(query);
}

bool ForwardQueue::setAsideRecords(QVector<SetAside> *found)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT record_id, refused FROM forward_queue"
                                   " WHERE sent IS NULL AND refused IS NOT NULL ORDER BY seq"))) {
        error = query.lastError();
        return false;
    }
    while (query.next())
        found->append({query.value(0).toString(), query.value(1).toString()});
    return true;
}

int ForwardQueue::requeueSetAside()
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("UPDATE forward_queue SET refused = NULL WHERE sent IS NULL AND refused IS NOT NULL")))
        return query.numRowsAffected();
    error = query.lastError();
    return -1;
}
