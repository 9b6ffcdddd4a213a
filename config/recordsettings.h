#ifndef CONFIG_RECORDSETTINGS_H
#define CONFIG_RECORDSETTINGS_H

#include <QString>

// Where the lane's records go and whose they are, from "./set.ini":
//
//   [Station]
//   Name=...              the station, on every record and report
//   Lane=...              the lane
//   Address=...           the station's address, on every report
//   Operator=...          the last operator, offered for the next test
//   [Database]
//   File=results/opacimeter.sqlite
namespace settings {

extern const char DefaultDatabaseFile[];

QString stationName();
QString laneName();
QString stationAddress();
void storeStationAddress(const QString &address);
// Relative names are taken from the working folder.
// SQLite's name for a database kept in memory, never taken as the file.
constexpr char InMemoryName[] = ":memory:";
QString databaseFile();
QString lastOperator();
void storeLastOperator(const QString &name);
void storeStationName(const QString &name);
void storeLaneName(const QString &name);
// Empty text: the default file.
void storeDatabaseFile(const QString &file);

} // namespace settings

#endif
