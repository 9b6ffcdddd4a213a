#ifndef STATION_SERVERDB_H
#define STATION_SERVERDB_H

#include <QDate>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QString>

#include "config/stationsettings.h"

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

// libpq's connect options for QSqlDatabase::setConnectOptions, or empty text
// with the reason in 'error' when a setting cannot be passed on.
QString connectOptions(const settings::StationServer &server, const ServerTimeouts &timeouts,
                       QString *error);

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

// The filters of the lane's own list: plate and VIN match anywhere in the
// field, any case; 'since' and 'until' are whole local days, both included.
struct RecordFilter
{
    QString plate;
    QString vin;
    QDate since;
    QDate until;
};

// The station's records that pass 'filter', newest first, each the JSON
// document the lane sent.
bool listServerRecords(QSqlDatabase db, const RecordFilter &filter, QJsonArray *records,
                       QString *error);
// The same through a connection of its own, for the command-line tool.
bool listStationRecords(const settings::StationServer &server, const RecordFilter &filter,
                        QJsonArray *records, QString *error, const ServerTimeouts &timeouts = {});

// A server error in one line: libpq's own text where there is one.
QString reasonOf(const QSqlError &error);

} // namespace station

#endif
