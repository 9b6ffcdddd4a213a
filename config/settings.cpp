#include "config/settings.h"

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

void forgetServerAddress()
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.remove(QLatin1String(ServerAddressKey));
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings

namespace settings {

FreeAccelMethod storedFreeAccelMethod()
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setIniCodec("UTF-8");  // the method's name stays readable in the file
    file.beginGroup(QStringLiteral("FreeAcceleration"));
    FreeAccelMethod m = FreeAccelMethod::r24();
    m.name = file.value(QStringLiteral("Method"), m.name).toString();
    m.counted = file.value(QStringLiteral("Peaks"), m.counted).toInt();
    m.band = file.value(QStringLiteral("Band"), m.band).toDouble();
    m.rejectDecreasing = file.value(QStringLiteral("RejectDecreasing"), m.rejectDecreasing).toBool();
    m.maxSnaps = file.value(QStringLiteral("MaxSnaps"), m.maxSnaps).toInt();
    // An empty limit means none.
    bool hasLimit = false;
    m.limitK = file.value(QStringLiteral("LimitK")).toString().toDouble(&hasLimit);
    m.hasLimit = hasLimit;
    return m.bounded();
}

void storeFreeAccelMethod(const FreeAccelMethod &method)
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setIniCodec("UTF-8");  // the method's name stays readable in the file
    file.beginGroup(QStringLiteral("FreeAcceleration"));
    file.setValue(QStringLiteral("Method"), method.name);
    file.setValue(QStringLiteral("Peaks"), method.counted);
    file.setValue(QStringLiteral("Band"), method.band);
    file.setValue(QStringLiteral("RejectDecreasing"), method.rejectDecreasing);
    file.setValue(QStringLiteral("MaxSnaps"), method.maxSnaps);
    file.setValue(QStringLiteral("LimitK"),
                  method.hasLimit ? QString::number(method.limitK, 'f', 2) : QString());
    file.endGroup();
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings
