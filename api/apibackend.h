#ifndef API_APIBACKEND_H
#define API_APIBACKEND_H

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>

#include "api/apitypes.h"

// What the API asks of the lane: its state for a hello, the commands, and
// the stored records. The lane's adapter implements it over the session and
// the record store; every call comes on the server's thread and must not
// block for long, since all clients wait on it.
class ApiBackend
{
public:
    // Called once, on the server's thread; 'error' is empty when the read
    // succeeded. 'differing' holds what the record's check found wrong.
    using RecordDone =
        std::function<void(const QJsonObject &record, const QStringList &differing, const QString &error)>;
    using ListDone = std::function<void(const QJsonArray &records, const QString &error)>;

    virtual ~ApiBackend() = default;

    virtual api::State state() const = 0;

    // Called only while the meter is connected and no series runs. An empty
    // 'method' means the method in use. False, with 'error' set for the
    // client, when the session refuses.
    virtual bool startTest(const api::Vehicle &vehicle, const QString &operatorName, const QString &method,
                           QString *error) = 0;
    virtual bool stopTest(QString *error) = 0;
    virtual bool clearMaxima(QString *error) = 0;
    // Starts a daily check ("zero", "filter" with a filter's name,
    // "response"); its end comes as a check message.
    virtual bool startCheck(const QString &kind, const QString &filter, QString *error)
    {
        Q_UNUSED(kind);
        Q_UNUSED(filter);
        *error = QStringLiteral("this program makes no daily checks");
        return false;
    }

    // The records are read away from the server's thread, since a database
    // can take long to answer; 'done' follows once they are.
    // The record's JSON document, in the shape the records tool prints.
    virtual void record(const QString &id, RecordDone done) = 0;
    // The newest records first, at most filter.limit of them, each marked
    // as api::markChecked() marks a record that fails its check.
    virtual void listRecords(const api::RecordFilter &filter, ListDone done) = 0;
};

#endif
