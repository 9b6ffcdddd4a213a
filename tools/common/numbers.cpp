#include "common/numbers.h"

#include <QRegularExpression>

#include <cmath>

// Every pattern is anchored as a whole: "$" would also match before a final
// newline and let "5\n" through.
namespace numbers {

bool parseInt(const QString &text, qint64 min, qint64 max, qint64 *value)
{
    static const QRegularExpression whole(
        QRegularExpression::anchoredPattern(QStringLiteral("[-+]?[0-9]{1,18}")));
    if (!whole.match(text).hasMatch())
        return false;
    const qint64 v = text.toLongLong();
    if (v < min || v > max)
        return false;
    *value = v;
    return true;
}

bool parseDouble(const QString &text, double min, double max, double *value)
{
    static const QRegularExpression decimal(
        QRegularExpression::anchoredPattern(QStringLiteral("[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)")));
    if (!decimal.match(text).hasMatch())
        return false;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < min || v > max)
        return false;
    *value = v;
    return true;
}

bool parseHundredths(const QString &text, qint16 *value)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([-+]?)([0-9]{1,5})(?:\\.([0-9]{1,2}))?")));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    // Whole and fraction are added as integers so that "0.29" is exactly 29.
    qint64 v = m.captured(2).toLongLong() * 100;
    const QString fraction = m.captured(3);
    if (!fraction.isEmpty())
        v += fraction.leftJustified(2, QLatin1Char('0')).toLongLong();
    if (m.captured(1) == QLatin1String("-"))
        v = -v;
    if (v < -32768 || v > 32767)
        return false;
    *value = qint16(v);
    return true;
}

QString display(double value)
{
    return QString::number(double(float(value)));
}

QString hundredths(qint16 raw)
{
    return display(raw / 100.0);
}

} // namespace numbers
