#include "net/settings.h"

#include <QDebug>
#include <QSettings>

namespace {
const char FileName[] = "./set.ini";
const char ServerAddressKey[] = "Server/IP";
} // namespace

namespace settings {

QString storedServerAddress()
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    return file.value(QLatin1String(ServerAddressKey), QString()).toString();
}

void storeServerAddress(const QString &ip)
{
    if (ip.isEmpty())
        return;
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setValue(QLatin1String(ServerAddressKey), ip);
    file.sync();
    // The program goes on without the file; it only has to sweep again at
    // the next start, and the log says why.
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings
