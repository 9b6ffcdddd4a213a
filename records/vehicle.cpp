#include "records/vehicle.h"

#include <QStringList>

const QStringList &Vehicle::categories()
{
    static const QStringList names = {
        QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3"), QStringLiteral("N1"),
        QStringLiteral("N2"), QStringLiteral("N3"), QStringLiteral("other")};
    return names;
}

QString Vehicle::intakeKey(Intake intake)
{
    switch (intake) {
    case Intake::Natural:
        return QStringLiteral("natural");
    case Intake::Turbo:
        return QStringLiteral("turbo");
    case Intake::Unknown:
        break;
    }
    return QString();
}

Vehicle::Intake Vehicle::intakeFromKey(const QString &key, bool *ok)
{
    const bool known = key.isEmpty() || key == QLatin1String("natural")
                       || key == QLatin1String("turbo");
    if (ok)
        *ok = known;
    if (key == QLatin1String("natural"))
        return Intake::Natural;
    if (key == QLatin1String("turbo"))
        return Intake::Turbo;
    return Intake::Unknown;
}

namespace VehicleRules {

namespace {

bool isChinese(QChar c)
{
    // The CJK unified ideographs hold every character a plate carries.
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
}

// ISO 3779 transliteration: letters take the values of their position in
// three runs of nine (I, O and Q never occur).
int vinValue(QChar c)
{
    if (c.isDigit())
        return c.digitValue();
    static const char Letters[] = "ABCDEFGHJKLMNPRSTUVWXYZ";
    static const int Values[] = {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 7, 9, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; Letters[i]; ++i)
        if (c == QLatin1Char(Letters[i]))
            return Values[i];
    return -1;
}

} // namespace

QString normalisedPlate(const QString &text)
{
    return text.trimmed().toUpper();
}

bool isValidPlate(const QString &plate)
{
    if (plate.size() > MaxPlateLength)
        return false;
    for (const QChar c : plate) {
        const bool latin = (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                           || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
        if (!latin && !isChinese(c))
            return false;
    }
    return true;
}

QString normalisedVin(const QString &text)
{
    return text.trimmed().toUpper();
}

VinCheck checkVin(const QString &vin)
{
    if (vin.isEmpty())
        return VinCheck::Empty;
    if (vin.size() != VinLength)
        return VinCheck::Invalid;
    for (const QChar c : vin)
        if (vinValue(c) < 0)
            return VinCheck::Invalid;
    return vin.at(8) == vinCheckCharacter(vin) ? VinCheck::Valid : VinCheck::WrongCheckDigit;
}

QChar vinCheckCharacter(const QString &vin)
{
    static const int Weights[VinLength] = {8, 7, 6, 5, 4, 3, 2, 10, 0, 9, 8, 7, 6, 5, 4, 3, 2};
    int sum = 0;
    for (int i = 0; i < VinLength && i < vin.size(); ++i)
        sum += qMax(0, vinValue(vin.at(i))) * Weights[i];
    const int rest = sum % 11;
    return rest == 10 ? QLatin1Char('X') : QChar('0' + rest);
}

} // namespace VehicleRules
