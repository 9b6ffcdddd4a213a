#include "config/uisettings.h"

#include <QDebug>

#include "config/inifile.h"

namespace {
const char LanguageKey[] = "UI/Language";
} // namespace

namespace settings {

QString storedLanguage(bool *ok)
{
    const IniFile file;
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
    IniFile file;
    file.setValue(QLatin1String(LanguageKey), code);
    file.commit();
}

} // namespace settings
