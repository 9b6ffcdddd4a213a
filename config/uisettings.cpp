#include "config/uisettings.h"

#include <QDebug>
#include <QSettings>

namespace {
const char FileName[] = "./set.ini";
const char LanguageKey[] = "UI/Language";
} // namespace

namespace settings {

QString storedLanguage(bool *ok)
{
    const QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    const QString code = file.value(QLatin1String(LanguageKey)).toString().trimmed().toLower();
    const bool known = code.isEmpty() || code == QLatin1String("zh") || code == QLatin1String("en");
    if (ok)
        *ok = known;
    if (!known)
        qWarning() << "set.ini: unknown [UI] Language" << code << "- using zh";
    return code == QLatin1String("en") ? code : QStringLiteral("zh");
}

void storeLanguage(const QString &code)
{
    QSettings file(QString::fromLatin1(FileName), QSettings::IniFormat);
    file.setValue(QLatin1String(LanguageKey), code);
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings
