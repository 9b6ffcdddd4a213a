#ifndef METER_METERVALUES_H
#define METER_METERVALUES_H

#include <QFlags>

#include <cmath>

// The six values of one measurement as the program shows them: N and Ns in
// percent, K per metre, the chamber's and the smoke's temperatures in
// degrees Celsius, and the energy value. The one shape they travel in
// inside the program; names outside it (JSON keys, CSV headers, the
// shared-memory layout) are their own.
struct MeterValues {
    // One flag per value, for saying which of them are shown.
    enum Value {
        N = 0x01,
        Ns = 0x02,
        K = 0x04,
        ChamberC = 0x08,
        SmokeC = 0x10,
        Energy = 0x20,
    };
    Q_DECLARE_FLAGS(Values, Value)

    float n = 0;
    float ns = 0;
    float k = 0;
    float chamberC = 0;
    float smokeC = 0;
    float energy = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MeterValues::Values)

// 'value' to the hundredth, as the meter reports N, Ns and K: a float's tail
// beyond that is noise (1.2999999523162842), and judging on it could fail a
// shown 1.00.
inline double hundredths(double value)
{
    return std::round(value * 100) / 100;
}

#endif
