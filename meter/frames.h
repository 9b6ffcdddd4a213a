#ifndef METER_FRAMES_H
#define METER_FRAMES_H

#include <QByteArray>

// The meter speaks in frames: start byte (0x21 host->meter, 0x06 meter->host),
// command code, data length n, n data bytes, checksum. n + 4 bytes in all.
// The host only ever sends fixed frames, so they live here as hex text and
// are turned into bytes once; what it sends is never checksummed at run time,
// what it receives is checked.
namespace Frames {

constexpr char HostStart = 0x21;
constexpr char MeterStart = 0x06;
constexpr int HeaderSize = 3;   // start, code, length
constexpr int Overhead = 4;     // header plus checksum
// The longest reply the meter sends is the measurement reply's 10 data bytes;
// the length byte itself could announce up to 255.
constexpr int LongestReplyData = 10;
constexpr int LongestData = 255;

// Commands (host -> meter).
constexpr const char ReadMeasurementHex[] = "213300AC";
constexpr const char CalibrateStep1Hex[] = "213800A7";
constexpr const char CalibrateStep2Hex[] = "213900A6";
constexpr const char FactoryResetHex[] = "214A01A2F2";

// Fixed replies (meter -> host), recognised byte for byte.
constexpr const char CalibrationDoneHex[] = "063900C1";
constexpr const char FactoryResetAcceptedHex[] = "064A00B0";

const QByteArray &readMeasurement();
const QByteArray &calibrateStep1();
const QByteArray &calibrateStep2();
const QByteArray &factoryReset();
const QByteArray &calibrationDone();
const QByteArray &factoryResetAccepted();

// A frame is its data length plus the header and the checksum.
inline int frameSize(unsigned char dataLength) { return dataLength + Overhead; }

// The byte that, appended to 'bytes', makes them all sum to 0 modulo 256;
// over a whole well-formed frame it is 0. The program itself never needs
// it (its frames are fixed); the simulator and the tests build with it.
char checksum(const QByteArray &bytes);
// Whether all of a frame's bytes sum to 0 modulo 256, as the meter makes them.
inline bool checksumRight(const QByteArray &frame) { return !frame.isEmpty() && checksum(frame) == 0; }

} // namespace Frames

#endif
