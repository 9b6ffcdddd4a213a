#include "companion/recordtext.h"

#include <QRegularExpression>

#include "common/console.h"
#include "common/numbers.h"
#include "lane/csvfile.h"
#include "lane/lanereading.h"
#include "meter/measurement.h"

namespace RecordText {

using console::hex;

namespace {
QString number(float value)
{
    return numbers::display(double(value));
}
} // namespace

QString describe(const DataReading &reading)
{
    switch (reading.state) {
    case DataReading::NoSegment:
        return QStringLiteral("no data segment: the program is not running or has published "
                              "nothing yet");
    case DataReading::Unreadable:
        return QStringLiteral("cannot read the data segment: ") + reading.error;
    case DataReading::Malformed:
        return QStringLiteral("malformed record: length %1 does not fit a segment of %2 bytes")
            .arg(reading.claimedLength)
            .arg(reading.segmentSize);
    case DataReading::Record:
        break;
    }
    const QByteArray &array = reading.array;
    if (array.isNull())
        return QStringLiteral("null");
    if (array.isEmpty())
        return QStringLiteral("empty");
    // The frame is shown as published, also when the program would not
    // show its K or energy value.
    MeterValues v;
    if (Measurement::decode(array, &v))
        return QStringLiteral("measurement N=%1 Ns=%2 K=%3 chamber=%4 smoke=%5 energy=%6 hex=%7")
            .arg(number(v.n), number(v.ns), number(v.k), number(v.chamberC),
                 number(v.smokeC), number(v.energy), hex(array));
    if (Measurement::classify(array) == Measurement::FrameKind::ShortReply)
        return QStringLiteral("reply ") + hex(array);
    return QStringLiteral("record ") + hex(array);
}

int exitStatus(const DataReading &reading)
{
    return reading.state == DataReading::Record ? 0 : 1;
}

QString csvHeader()
{
    return QStringLiteral("time,N,Ns,K,chamber,smoke,energy");
}

QString csvLine(const LaneReading &reading)
{
    return CsvFile::timeText(reading.time, true) + QLatin1Char(',')
           + reading.shownTexts().join(QLatin1Char(','));
}

bool parseHex(const QString &text, QByteArray *bytes, QString *error)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression hexDigits(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f]*")));
    QString digits = text;
    digits.remove(blanks);
    if (digits.isEmpty()) {
        *error = QStringLiteral("no command bytes given");
        return false;
    }
    if (!hexDigits.match(digits).hasMatch()) {
        *error = QStringLiteral("'%1' is not hexadecimal").arg(text);
        return false;
    }
    if (digits.size() % 2 != 0) {
        *error = QStringLiteral("'%1' has an odd number of hex digits").arg(text);
        return false;
    }
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return true;
}

} // namespace RecordText
