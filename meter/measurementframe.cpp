#include "meter/measurementframe.h"

#include <QtEndian>

#include "meter/frames.h"
#include "meter/measurement.h"

namespace MeasurementFrame {

QByteArray encode(const RawMeasurement &values)
{
    QByteArray frame(Measurement::ReplySize, '\0');
    char *p = frame.data();
    p[0] = Frames::MeterStart;
    p[1] = Measurement::ReadMeasurementCode;
    p[2] = char(Measurement::ReplySize - Frames::Overhead);
    qToLittleEndian(values.n, p + 3);
    qToLittleEndian(values.ns, p + 5);
    qToLittleEndian(values.k, p + 7);
    p[9] = char(values.chamberC);
    p[10] = char(values.smokeC);
    qToLittleEndian(values.energy, p + 11);
    p[13] = Frames::checksum(frame.left(Measurement::ReplySize - 1));
    return frame;
}

} // namespace MeasurementFrame
