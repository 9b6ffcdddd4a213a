#ifndef METER_MEASUREMENT_H
#define METER_MEASUREMENT_H

#include <QByteArray>

#include "meter/metervalues.h"

// The meter's answer to the read-measurement command, 14 bytes:
//   0 start 0x06 | 1 code 0x33 | 2 length 10 | 3-4 N | 5-6 Ns | 7-8 K |
//   9 chamber temperature | 10 smoke temperature | 11-12 energy | 13 checksum
// N, Ns, K and energy are signed little-endian 16-bit; N, Ns and K are in
// hundredths; the temperatures are unsigned bytes in degrees Celsius.
// Recognition rests on the start byte, the size and the code alone: a frame
// with a wrong length byte or checksum is shown like any other.
namespace Measurement {

constexpr char ReadMeasurementCode = 0x33;
constexpr int ReplySize = 14;
// Replies this short are the companion's business and go to the data segment.
constexpr int ShortReplyMaxSize = 9;
constexpr double Divisor = 100.0;
// Energy readings above this are not taken (see LaneReading::shownValues).
constexpr int EnergyLimit = 4096;

enum class FrameKind {
    Ignored,      // not a reply, or a size/code this program has no use for
    Measurement,  // a 14-byte reply to the read-measurement command
    ShortReply,   // a reply of at most 9 bytes
};

// Sorts a frame the meter sent by its start byte, size and command code.
FrameKind classify(const QByteArray &frame);

// Decodes a frame that classify() calls a measurement into the figures the
// meter sent; which of them the program shows is LaneReading's business.
// Returns false, and leaves 'values' alone, for any other frame.
bool decode(const QByteArray &frame, MeterValues *values);

// Raises 'maximum' to 'value' only when 'value' is strictly greater, so an
// equal reading does not count as a new maximum. Returns true when raised.
bool raiseMaximum(float &maximum, float value);

} // namespace Measurement

#endif
