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

// What became of one record sent in a batch.
enum class Arrival {
    Stored,     // the server took it
    Same,       // the server held it already, with the same hash
    Different,  // the server holds another record under its id
    Unknown,    // another lane's transaction holds the id: ask again later
};

// Stores lane records (their JSON documents) in one statement, so one
// transaction and one round trip for the lot; a record the server already
// holds is left as it is and compared by its hash. On failure nothing is
// stored, 'error' says why and 'permanent' whether the cause is in the
// records themselves (a value or a constraint the server refuses, a record
// too large) rather than the connection or the server.
bool insertRecords(QSqlDatabase db, const QList<QByteArray> &docs, QVector<Arrival> *arrivals,
                   QString *error, bool *permanent);

// Whether the connection to the server is encrypted (TLS).
bool isEncrypted(QSqlDatabase db);

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

// A database error in one line: the driver's own text where there is one
// (libpq's, or SQLite's for the lane's file).
QString reasonOf(const QSqlError &error);

} // namespace station

#endif
