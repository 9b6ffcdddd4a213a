#include "common/measurementframe.h"

#include "meter/frames.h"

namespace MeasurementFrame {

namespace {
void putInt16(QByteArray &out, qint16 v)
{
    const auto u = quint16(v);
    out.append(char(u & 0xFF));
    out.append(char(u >> 8));
}

qint16 int16At(const QByteArray &frame, int offset)
{
    const auto lo = quint16(static_cast<unsigned char>(frame.at(offset)));
    const auto hi = quint16(static_cast<unsigned char>(frame.at(offset + 1)));
    return qint16(quint16(lo | (hi << 8)));
}
} // namespace

QByteArray encode(const RawMeasurement &values)
{
    QByteArray frame;
    frame.reserve(Size);
    frame.append(Frames::MeterStart);
    frame.append(Code);
    frame.append(char(Size - Frames::Overhead));
    putInt16(frame, values.n);
    putInt16(frame, values.ns);
    putInt16(frame, values.k);
    frame.append(char(values.chamber));
    frame.append(char(values.smoke));
    putInt16(frame, values.energy);
    frame.append(Frames::checksum(frame));
    return frame;
}

bool decode(const QByteArray &frame, RawMeasurement *values)
{
    if (frame.size() != Size || frame.at(0) != Frames::MeterStart || frame.at(1) != Code)
        return false;
    values->n = int16At(frame, 3);
    values->ns = int16At(frame, 5);
    values->k = int16At(frame, 7);
    values->chamber = static_cast<unsigned char>(frame.at(9));
    values->smoke = static_cast<unsigned char>(frame.at(10));
    values->energy = int16At(frame, 11);
    return true;
}

} // namespace MeasurementFrame
