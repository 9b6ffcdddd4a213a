#include "config/recordsettings.h"

#include "config/inifile.h"

namespace {

QString text(const char *key, const QString &fallback = QString())
{
    const settings::IniFile file;
    return file.value(QLatin1String(key), fallback).toString().trimmed();
}

void storeText(const char *key, const QString &value)
{
    settings::IniFile file;
    file.setValue(QLatin1String(key), value.trimmed());
    file.commit();
}

} // namespace

namespace settings {

const char DefaultDatabaseFile[] = "results/opacimeter.sqlite";

QString stationName()
{
    return text("Station/Name");
}

QString laneName()
{
    return text("Station/Lane");
}

QString databaseFile()
{
    const QString file = text("Database/File");
    // SQLite keeps a database of that name in memory only: every record
    // would be gone when the program ends.
    if (file == QLatin1String(InMemoryName)) {
        qWarning("records: [Database] File=%s would keep no record on disk; using %s",
                 InMemoryName, DefaultDatabaseFile);
        return QString::fromLatin1(DefaultDatabaseFile);
    }
    return file.isEmpty() ? QString::fromLatin1(DefaultDatabaseFile) : file;
}

QString lastOperator()
{
    return text("Station/Operator");
}

void storeLastOperator(const QString &name)
{
    storeText("Station/Operator", name);
}

void storeStationName(const QString &name)
{
    storeText("Station/Name", name);
}

void storeLaneName(const QString &name)
{
    storeText("Station/Lane", name);
}

QString stationAddress()
{
    return text("Station/Address");
}

void storeStationAddress(const QString &address)
{
    storeText("Station/Address", address);
}

void storeDatabaseFile(const QString &file)
{
    storeText("Database/File", file);
}

} // namespace settings
