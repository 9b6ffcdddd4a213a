#include "config/stationsettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

#include "config/inifile.h"

namespace settings {

StationServer storedStationServer()
{
    return stationServerFrom(iniPath());
}

StationServer stationServerFrom(const QString &iniFile)
{
    IniFile file(iniFile);
    file.beginGroup(QStringLiteral("Database"));
    StationServer s;
    s.host = file.value(QStringLiteral("ServerHost")).toString().trimmed();
    bool ok = false;
    const int port = file.value(QStringLiteral("ServerPort")).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        s.port = port;
    s.name = file.value(QStringLiteral("ServerName")).toString().trimmed();
    s.user = file.value(QStringLiteral("ServerUser")).toString().trimmed();
    s.passwordFile = file.value(QStringLiteral("PasswordFile")).toString().trimmed();
    s.sslMode = file.value(QStringLiteral("SslMode")).toString().trimmed();
    return s;
}

void storeStationServer(const StationServer &server)
{
    IniFile file;
    file.beginGroup(QStringLiteral("Database"));
    file.setValue(QStringLiteral("ServerHost"), server.host.trimmed());
    file.setValue(QStringLiteral("ServerPort"), server.port);
    file.setValue(QStringLiteral("ServerName"), server.name.trimmed());
    file.setValue(QStringLiteral("ServerUser"), server.user.trimmed());
    file.setValue(QStringLiteral("PasswordFile"), server.passwordFile.trimmed());
    file.setValue(QStringLiteral("SslMode"), server.sslMode.trimmed());
    file.endGroup();
    file.commit();
}

const QStringList &sslModes()
{
    static const QStringList modes = {
        QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
        QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

bool ownerOnly(const QString &path)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return !(QFile::permissions(path) & others);
}

bool readPasswordFile(const QString &path, QString *password, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *error = QCoreApplication::translate("settings", "password file %1 does not exist").arg(path);
        return false;
    }
    if (!ownerOnly(path)) {
        *error = QCoreApplication::translate("settings",
            "password file %1 may be read by others than its owner (chmod 600 it)").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QCoreApplication::translate("settings", "cannot read password file %1: %2")
                     .arg(path, file.errorString());
        return false;
    }
    *password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

} // namespace settings
