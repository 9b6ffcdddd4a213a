#ifndef CONFIG_STATIONSETTINGS_H
#define CONFIG_STATIONSETTINGS_H

#include <QString>
#include <QStringList>

// The station's PostgreSQL server, section [Database] of "./set.ini".
namespace settings {

struct StationServer
{
    // A host name, an IP address, or a folder holding the server's unix
    // socket. Empty: the lane keeps its records to itself.
    QString host;
    int port = 5432;
    QString name;           // the database
    QString user;
    QString passwordFile;   // optional; without it libpq looks in ~/.pgpass
    QString sslMode;        // libpq's sslmode, passed through; empty: libpq's default

    bool enabled() const { return !host.trimmed().isEmpty(); }
};

// The words libpq takes for sslmode; no other text may reach its connect string.
const QStringList &sslModes();

StationServer storedStationServer();
StationServer stationServerFrom(const QString &iniFile);
void storeStationServer(const StationServer &server);

// Whether no one but its owner may read, write or run 'path'.
bool ownerOnly(const QString &path);

// The password in the first line of 'path'. Refused, with the reason in
// 'error', when the file is missing or group or others may touch it: a
// password others can read is no secret, and libpq refuses ~/.pgpass then
// too.
bool readPasswordFile(const QString &path, QString *password, QString *error);

} // namespace settings

#endif
