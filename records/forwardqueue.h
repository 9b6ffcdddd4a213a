#ifndef RECORDS_FORWARDQUEUE_H
#define RECORDS_FORWARDQUEUE_H

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <QVector>

#include <optional>

// The lane database's queue of records for the station (the table
// forward_queue, made by RecordStore's migrations): every statement on it,
// for the store that queues each record it adds and for the station's
// sender. Works on a connection of the calling thread; a call that fails
// leaves the reason in lastError(). Statements used again are prepared once.
class ForwardQueue
{
public:
    struct Waiting
    {
        QString recordId;
        QByteArray json;
    };
    // Set aside: the station refused it for good, or holds another record
    // under its id.
    struct SetAside
    {
        QString recordId;
        QString reason;
    };

    explicit ForwardQueue(const QSqlDatabase &db) : db(db) {}

    bool add(const QString &recordId, const QDateTime &queued);
    // Records still waiting (not those set aside); -1 on failure.
    int pendingCount();
    // The oldest waiting records, at most 'limit', with their documents.
    bool oldest(int limit, QList<Waiting> *batch);
    bool markSent(const QString &recordId, const QDateTime &at);
    // The station holds another record under the id: it waits aside.
    bool markDiffers(const QString &recordId, const QString &reason);
    // The station refused the record for good: it waits aside.
    bool setAside(const QString &recordId, const QString &reason);
    // Why the last try failed, a hint for whoever looks into the file.
    bool noteError(const QString &recordId, const QString &reason);
    // The records set aside, oldest first.
    bool setAsideRecords(QVector<SetAside> *found);
    // Queues the records set aside again; how many, -1 on failure.
    int requeueSetAside();

    QSqlError lastError() const { return error; }

private:
    bool run(QSqlQuery &query);
    bool update(std::optional<QSqlQuery> *statement, const char *sql, const QVariantList &values);

    QSqlDatabase db;
    std::optional<QSqlQuery> sent;
    std::optional<QSqlQuery> differs;
    QSqlError error;
};

#endif
