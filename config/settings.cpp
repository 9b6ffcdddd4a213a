#include "config/settings.h"

#include "config/inifile.h"

namespace {
const char ServerAddressKey[] = "Server/IP";
} // namespace

namespace settings {

QString storedServerAddress()
{
    const IniFile file;
    return file.value(QLatin1String(ServerAddressKey), QString()).toString();
}

void storeServerAddress(const QString &ip)
{
    if (ip.isEmpty())
        return;
    IniFile file;
    file.setValue(QLatin1String(ServerAddressKey), ip);
    // The program goes on without the file; it only has to sweep again at
    // the next start, and the log says why.
    file.commit();
}

void forgetServerAddress()
{
    IniFile file;
    file.remove(QLatin1String(ServerAddressKey));
    file.commit();
}

} // namespace settings

namespace settings {

FreeAccelMethod storedFreeAccelMethod()
{
    IniFile file;
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
    IniFile file;
    file.beginGroup(QStringLiteral("FreeAcceleration"));
    file.setValue(QStringLiteral("Method"), method.name);
    file.setValue(QStringLiteral("Peaks"), method.counted);
    file.setValue(QStringLiteral("Band"), method.band);
    file.setValue(QStringLiteral("RejectDecreasing"), method.rejectDecreasing);
    file.setValue(QStringLiteral("MaxSnaps"), method.maxSnaps);
    file.setValue(QStringLiteral("LimitK"),
                  method.hasLimit ? QString::number(method.limitK, 'f', 2) : QString());
    file.endGroup();
    file.commit();
}

} // namespace settings
