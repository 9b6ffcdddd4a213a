#include "api/vehiclefields.h"

namespace {

bool isChinese(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF);
}

bool isAsciiLetterOrDigit(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

// ISO 3779 transliteration: letters take the values of their position in
// three runs of nine, I, O and Q being left out.
int vinValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    static const char values[] = "12345678-12345-7-923456789";
    if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
        return -1;
    const char v = values[c.unicode() - 'A'];
    return v == '-' ? -1 : v - '0';
}

} // namespace

namespace vehiclefields {

bool normalisePlate(const QString &text, QString *plate, QString *error)
{
    const QString p = text.trimmed().toUpper();
    if (p.size() > PlateMaxLength) {
        *error = QStringLiteral("plate: at most %1 characters").arg(PlateMaxLength);
        return false;
    }
    for (QChar c : p) {
        if (!isAsciiLetterOrDigit(c) && !isChinese(c)) {
            *error = QStringLiteral("plate: only letters A-Z, digits and Chinese characters, not '%1'").arg(c);
            return false;
        }
    }
    *plate = p;
    return true;
}

QChar vinCheckDigit(const QString &vin)
{
    static const int weights[VinLength] = {8, 7, 6, 5, 4, 3, 2, 10, 0, 9, 8, 7, 6, 5, 4, 3, 2};
    if (vin.size() != VinLength)
        return QChar();
    int sum = 0;
    for (int i = 0; i < VinLength; ++i) {
        const int v = vinValue(vin.at(i));
        if (v < 0)
            return QChar();
        sum += v * weights[i];
    }
    const int digit = sum % 11;
    return digit == 10 ? QLatin1Char('X') : QChar(QLatin1Char(char('0' + digit)));
}

bool normaliseVin(const QString &text, QString *vin, QString *error, QString *warning)
{
    const QString v = text.trimmed().toUpper();
    if (v.isEmpty()) {
        *vin = v;
        return true;
    }
    const QChar check = vinCheckDigit(v);
    if (check.isNull()) {
        *error = QStringLiteral("vin: %1 characters of 0-9 and A-Z without I, O and Q").arg(VinLength);
        return false;
    }
    if (v.at(8) != check)
        *warning = QStringLiteral("vin: the check digit is '%1', where '%2' was expected").arg(v.at(8)).arg(check);
    *vin = v;
    return true;
}

} // namespace vehiclefields
