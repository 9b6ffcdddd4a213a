#ifndef TOOLS_MEASUREMENTFRAME_H
#define TOOLS_MEASUREMENTFRAME_H

#include <QByteArray>

// The values of one measurement reply, raw as the meter sends them:
// N, Ns and K in hundredths, the temperatures in whole degrees, the energy
// value unscaled.
struct RawMeasurement
{
    qint16 n = 0;
    qint16 ns = 0;
    qint16 k = 0;
    quint8 chamber = 0;
    quint8 smoke = 0;
    qint16 energy = 0;

    bool operator==(const RawMeasurement &o) const
    {
        return n == o.n && ns == o.ns && k == o.k && chamber == o.chamber
               && smoke == o.smoke && energy == o.energy;
    }
    bool operator!=(const RawMeasurement &o) const { return !(*this == o); }
};

// The 14-byte measurement reply: 06 33 0A, N, Ns, K (int16 LE), chamber,
// smoke (uint8), energy (int16 LE), checksum.
namespace MeasurementFrame {

constexpr int Size = 14;
constexpr char Code = 0x33;

// The meter's side: the reply with a correct checksum.
QByteArray encode(const RawMeasurement &values);

// True for a 14-byte reply with code 0x33; length byte and checksum are
// not looked at, as the program does not look at them either.
bool decode(const QByteArray &frame, RawMeasurement *values);

} // namespace MeasurementFrame

#endif
