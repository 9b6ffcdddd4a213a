#ifndef TOOLS_NUMBERS_H
#define TOOLS_NUMBERS_H

#include <QString>

// Strict parsing of command-line numbers (no trailing text, no silent
// clamping) and the display form the program's labels use.
namespace numbers {

bool parseInt(const QString &text, qint64 min, qint64 max, qint64 *value);
bool parseDouble(const QString &text, double min, double max, double *value);

// A decimal with at most two places, as hundredths that fit the meter's
// signed 16-bit fields: "12.34" -> 1234, "-0.5" -> -50.
bool parseHundredths(const QString &text, qint16 *value);

// The text the program shows for a value: stored as float, printed with
// QString::number's defaults, so a tool's output matches the form's labels.
QString display(double value);
QString hundredths(qint16 raw);

} // namespace numbers

#endif
