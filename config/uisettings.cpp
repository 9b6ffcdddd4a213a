#include "config/uisettings.h"

#include <QDebug>
#include <QRegularExpression>
#include <QVector>

#include "config/inifile.h"

namespace {
const char LanguageKey[] = "UI/Language";
const char HistoryWindowKey[] = "UI/HistoryWindow";
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

QRect storedHistoryWindow()
{
    const IniFile file;
    // Kept with blanks between the numbers; commas typed by hand make the
    // value a list for QSettings.
    const QVariant value = file.value(QLatin1String(HistoryWindowKey));
    const QString text = value.type() == QVariant::StringList ? value.toStringList().join(QLatin1Char(','))
                                                              : value.toString();
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    QVector<int> numbers;
    for (const QString &part : parts) {
        bool ok = false;
        numbers << part.trimmed().toInt(&ok);
        if (!ok)
            return QRect();
    }
    if (numbers.size() != 4 || numbers.at(2) <= 0 || numbers.at(3) <= 0)
        return QRect();
    return QRect(numbers.at(0), numbers.at(1), numbers.at(2), numbers.at(3));
}

void storeHistoryWindow(const QRect &geometry)
{
    IniFile file;
    file.setValue(QLatin1String(HistoryWindowKey), QStringLiteral("%1 %2 %3 %4")
                                                        .arg(geometry.x()).arg(geometry.y())
                                                        .arg(geometry.width()).arg(geometry.height()));
    file.commit();
}

} // namespace settings
