#include "config/limitsettings.h"

#include "config/inifile.h"

namespace {

double positive(const settings::IniFile &file, const char *key, double fallback)
{
    bool ok = false;
    const double value = file.value(QLatin1String(key)).toString().toDouble(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

namespace settings {

LimitsTable storedLimitsTable()
{
    IniFile file;
    file.beginGroup(QStringLiteral("Limits"));
    LimitsTable table;
    table.naturalK = positive(file, "NaturalK", table.naturalK);
    table.turboK = positive(file, "TurboK", table.turboK);
    table.recentK = positive(file, "RecentK", table.recentK);
    const QDate from = QDate::fromString(file.value(QStringLiteral("RecentFrom")).toString(),
                                         Qt::ISODate);
    if (from.isValid())
        table.recentFrom = from;
    return table;
}

void storeLimitsTable(const LimitsTable &table)
{
    IniFile file;
    file.beginGroup(QStringLiteral("Limits"));
    file.setValue(QStringLiteral("NaturalK"), table.naturalK);
    file.setValue(QStringLiteral("TurboK"), table.turboK);
    file.setValue(QStringLiteral("RecentFrom"), table.recentFrom.toString(Qt::ISODate));
    file.setValue(QStringLiteral("RecentK"), table.recentK);
    file.endGroup();
    file.commit();
}

} // namespace settings
