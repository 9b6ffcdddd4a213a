#include "meter/measurement.h"

#include <QtEndian>

#include "meter/frames.h"

namespace Measurement {

namespace {

qint16 signed16(const QByteArray &frame, int offset)
{
    return qFromLittleEndian<qint16>(frame.constData() + offset);
}

float inHundredths(const QByteArray &frame, int offset)
{
    return static_cast<float>(signed16(frame, offset) / Divisor);
}

float unsigned8(const QByteArray &frame, int offset)
{
    return static_cast<unsigned char>(frame.at(offset));
}

} // namespace

FrameKind classify(const QByteArray &frame)
{
    if (frame.isEmpty() || frame.at(0) != Frames::MeterStart)
        return FrameKind::Ignored;
    if (frame.size() == ReplySize)
        return frame.at(1) == ReadMeasurementCode ? FrameKind::Measurement
                                                  : FrameKind::Ignored;
    if (frame.size() <= ShortReplyMaxSize)
        return FrameKind::ShortReply;
    return FrameKind::Ignored;
}

bool decode(const QByteArray &frame, MeterValues *values)
{
    if (classify(frame) != FrameKind::Measurement)
        return false;
    MeterValues v;
    v.n = inHundredths(frame, 3);
    v.ns = inHundredths(frame, 5);
    v.k = inHundredths(frame, 7);
    v.chamberC = unsigned8(frame, 9);
    v.smokeC = unsigned8(frame, 10);
    v.energy = signed16(frame, 11);
    *values = v;
    return true;
}

bool raiseMaximum(float &maximum, float value)
{
    if (!(value > maximum))
        return false;
    maximum = value;
    return true;
}

} // namespace Measurement
