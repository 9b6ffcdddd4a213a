#include "config/recordsettings.h"

#include <QDebug>
#include <QSettings>

namespace {

const char FileName[] = "./set.ini";

QString text(const char *key, const QString &fallback = QString())
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setIniCodec("UTF-8");  // station names are Chinese
    return file.value(QLatin1String(key), fallback).toString().trimmed();
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
    return file.isEmpty() ? QString::fromLatin1(DefaultDatabaseFile) : file;
}

QString lastOperator()
{
    return text("Station/Operator");
}

void storeLastOperator(const QString &name)
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    file.setValue(QStringLiteral("Station/Operator"), name.trimmed());
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings
