#ifndef METER_MEASUREMENTFRAME_H
#define METER_MEASUREMENTFRAME_H

#include <QByteArray>

// The values of one measurement reply, raw as the meter sends them:
// N, Ns and K in hundredths, the temperatures in whole degrees, the energy
// value unscaled; named as MeterValues names them decoded.
struct RawMeasurement
{
    qint16 n = 0;
    qint16 ns = 0;
    qint16 k = 0;
    quint8 chamberC = 0;
    quint8 smokeC = 0;
    qint16 energy = 0;

    bool operator==(const RawMeasurement &o) const
    {
        return n == o.n && ns == o.ns && k == o.k && chamberC == o.chamberC
               && smokeC == o.smokeC && energy == o.energy;
    }
    bool operator!=(const RawMeasurement &o) const { return !(*this == o); }
};

// The meter's side of the 14-byte measurement reply, which the program
// decodes with Measurement::decode; the simulator and the tests build their
// replies with it: 06 33 0A, N, Ns, K (int16 LE), chamber,
// smoke (uint8), energy (int16 LE), and a correct checksum.
namespace MeasurementFrame {

QByteArray encode(const RawMeasurement &values);

} // namespace MeasurementFrame

#endif
