#include "records/limits.h"

#include <QCoreApplication>
#include <QtMath>

QString LimitChoice::sourceKey(LimitSource source)
{
    switch (source) {
    case LimitSource::PlateValue:
        return QStringLiteral("plate");
    case LimitSource::Table:
        return QStringLiteral("table");
    case LimitSource::Manual:
        return QStringLiteral("manual");
    case LimitSource::None:
        break;
    }
    return QString();
}

LimitSource LimitChoice::sourceFromKey(const QString &key, bool *ok)
{
    for (LimitSource s : {LimitSource::PlateValue, LimitSource::Table, LimitSource::Manual})
        if (key == sourceKey(s)) {
            if (ok)
                *ok = true;
            return s;
        }
    if (ok)
        *ok = key.isEmpty();
    return LimitSource::None;
}

QString LimitChoice::sourceText(LimitSource source)
{
    switch (source) {
    case LimitSource::PlateValue:
        return QCoreApplication::translate("LimitChoice", "铭牌值");
    case LimitSource::Table:
        return QCoreApplication::translate("LimitChoice", "限值表");
    case LimitSource::Manual:
        return QCoreApplication::translate("LimitChoice", "手动");
    case LimitSource::None:
        break;
    }
    return QString();
}

LimitChoice selectLimit(const Vehicle &vehicle, const LimitsTable &table,
                        std::optional<double> manualK)
{
    if (manualK)
        return {LimitSource::Manual, *manualK};
    if (vehicle.isServiceTest())
        return {};
    if (vehicle.plateValueK)
        return {LimitSource::PlateValue, *vehicle.plateValueK};
    if (vehicle.firstRegistration.isValid() && vehicle.firstRegistration >= table.recentFrom)
        return {LimitSource::Table, table.recentK};
    // Before the recent date the table needs the intake, and the date itself,
    // so that a vehicle of unknown age is never judged by the older limits.
    if (!vehicle.firstRegistration.isValid())
        return {};
    switch (vehicle.intake) {
    case Vehicle::Intake::Natural:
        return {LimitSource::Table, table.naturalK};
    case Vehicle::Intake::Turbo:
        return {LimitSource::Table, table.turboK};
    case Vehicle::Intake::Unknown:
        break;
    }
    return {};
}

QString verdictKey(double meanK, double limitK)
{
    // Both figures are compared as they are shown, in hundredths, so that
    // 1.2 read back from text is not above a limit of 1.20.
    return qRound64(meanK * 100) <= qRound64(limitK * 100) ? QStringLiteral("pass")
                                                           : QStringLiteral("fail");
}
