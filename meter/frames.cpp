#include "meter/frames.h"

#include <numeric>

namespace Frames {

#define OPA_FIXED_FRAME(name, hex)                                   \
    const QByteArray &name()                                         \
    {                                                                \
        static const QByteArray bytes = QByteArray::fromHex(hex);    \
        return bytes;                                                \
    }

OPA_FIXED_FRAME(readMeasurement, ReadMeasurementHex)
OPA_FIXED_FRAME(calibrateStep1, CalibrateStep1Hex)
OPA_FIXED_FRAME(calibrateStep2, CalibrateStep2Hex)
OPA_FIXED_FRAME(factoryReset, FactoryResetHex)
OPA_FIXED_FRAME(calibrationDone, CalibrationDoneHex)
OPA_FIXED_FRAME(factoryResetAccepted, FactoryResetAcceptedHex)

#undef OPA_FIXED_FRAME

char checksum(const QByteArray &bytes)
{
    const unsigned sum = std::accumulate(bytes.cbegin(), bytes.cend(), 0u, [](unsigned s, char c) {
        return s + static_cast<unsigned char>(c);
    });
    return static_cast<char>((0x100 - (sum & 0xFF)) & 0xFF);
}

} // namespace Frames
