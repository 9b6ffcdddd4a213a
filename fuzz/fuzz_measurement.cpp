#include <cstdlib>

#include "meter/frames.h"
#include "meter/measurement.h"

// Any bytes, as a frame from the meter: sorting and decoding must agree, and
// a short reply must be a reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray frame = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const Measurement::FrameKind kind = Measurement::classify(frame);
    MeterValues values;
    if (Measurement::decode(frame, &values) != (kind == Measurement::FrameKind::Measurement))
        abort();
    if (kind == Measurement::FrameKind::ShortReply
        && (frame.isEmpty() || frame.size() > Measurement::ShortReplyMaxSize || frame.at(0) != Frames::MeterStart))
        abort();
    return 0;
}
