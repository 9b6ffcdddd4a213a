#ifndef STATION_SERVERDB_H
#define STATION_SERVERDB_H

#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include "config/stationsettings.h"
#include "records/recordstore.h"

class QSqlError;

// The station's PostgreSQL database: the connection, its schema and the
// statements the lanes and the tools run on it. Every function works on a
// connection of the calling thread.
namespace station {

// Neither a dead server nor a hung statement may hold a lane's forwarder
// longer than these; libpq counts at least 2 s for a connect.
struct ServerTimeouts
{
    int connectS = 5;
    int statementMs = 10000;
};

// Opens a QPSQL connection under 'connectionName'; the password comes from
// the server's password file when one is named. On failure the connection
// is removed again and 'error' says why.
bool openServer(const settings::StationServer &server, const QString &connectionName,
                const ServerTimeouts &timeouts, QString *error);

// Creates or brings the schema up to date under an advisory lock, so lanes
// starting together migrate it once. The number of steps this call ran,
// -1 on failure.
int migrateServer(QSqlDatabase db, QString *error);

// Stores one lane record (its JSON document) in a transaction of its own;
// a record the server already holds is left as it is.
bool insertRecord(QSqlDatabase db, const QByteArray &json, QString *error);

// The station's records read on a connection of the calling thread, opened
// at the first call and kept: for the command-line tool, and for the
// history's station-wide view, which must call it off the window's thread
// since connecting may take up to the connect time-out.
class StationRecords
{
public:
    explicit StationRecords(const settings::StationServer &server, const ServerTimeouts &timeouts = {});
    ~StationRecords();
    StationRecords(const StationRecords &) = delete;
    StationRecords &operator=(const StationRecords &) = delete;

    // Empty rows with errorString() set on failure.
    QVector<RecordSummary> query(const ::RecordFilter &filter, bool withJson = false);
    // False with errorString() empty when there is no such record.
    bool find(const QString &id, QJsonObject *doc);
    QString errorString() const { return error; }

private:
    bool open();
    void drop();

    settings::StationServer server;
    ServerTimeouts timeouts;
    QString name;
    QString error;
};

// A server error in one line: libpq's own text where there is one.
QString reasonOf(const QSqlError &error);

} // namespace station

#endif
