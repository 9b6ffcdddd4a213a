#include "config/uisettings.h"

#include <QDebug>
#include <QSettings>

namespace settings {

QString storedLanguage()
{
    QSettings file(QStringLiteral("./set.ini"), QSettings::IniFormat);
    return file.value(QStringLiteral("UI/Language"), QStringLiteral("zh")).toString().trimmed();
}

void storeLanguage(const QString &language)
{
    QSettings file(QStringLiteral("./set.ini"), QSettings::IniFormat);
    file.setValue(QStringLiteral("UI/Language"), language);
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning() << "cannot write" << file.fileName();
}

} // namespace settings
