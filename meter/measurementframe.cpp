#include "meter/measurementframe.h"

#include "meter/frames.h"
#include "meter/measurement.h"

namespace MeasurementFrame {

namespace {
void putInt16(QByteArray &out, qint16 v)
{
    const auto u = quint16(v);
    out.append(char(u & 0xFF));
    out.append(char(u >> 8));
}
} // namespace

QByteArray encode(const RawMeasurement &values)
{
    QByteArray frame;
    frame.reserve(Measurement::ReplySize);
    frame.append(Frames::MeterStart);
    frame.append(Measurement::ReadMeasurementCode);
    frame.append(char(Measurement::ReplySize - Frames::Overhead));
    putInt16(frame, values.n);
    putInt16(frame, values.ns);
    putInt16(frame, values.k);
    frame.append(char(values.chamber));
    frame.append(char(values.smoke));
    putInt16(frame, values.energy);
    frame.append(Frames::checksum(frame));
    return frame;
}

} // namespace MeasurementFrame
