#ifndef COMPANION_RECORDTEXT_H
#define COMPANION_RECORDTEXT_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "companion/segments.h"

struct LaneReading;

// The companion's printed forms: what `read` says about the data segment,
// the CSV of `log`, and the HEX argument of `send`.
namespace RecordText {

// One line for a reading, e.g.
// "measurement N=12.34 Ns=1 K=3 chamber=25 smoke=30 energy=2048 hex=06330A...".
QString describe(const DataReading &reading);
// Exit status of `read` for a reading: 0 when a record was read, else 1.
int exitStatus(const DataReading &reading);

QString csvHeader();
// The reading's time with milliseconds, then its values as the program
// shows them, empty where it shows none.
QString csvLine(const LaneReading &reading);

// Pairs of hex digits; blanks between bytes are allowed ("21 33 00 AC").
bool parseHex(const QString &text, QByteArray *bytes, QString *error);

} // namespace RecordText

#endif
