#include <algorithm>
#include <cstdlib>

#include "net/framecutter.h"

// Input: one byte k, then k chunk sizes (used in turn), then the stream. The
// cutter gets the stream in chunks of those sizes and must hand on only whole
// frames, and account for every byte: what it handed on and skipped, in
// order, followed by what it still holds, is exactly what it was given.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t sizeCount = size ? std::min<size_t>(data[0] % 8, size - 1) : 0;
    const int head = size ? int(1 + sizeCount) : 0;
    const QByteArray stream = QByteArray::fromRawData(reinterpret_cast<const char *>(data) + head, int(size) - head);
    FrameCutter cutter;
    QByteArray out, frame, skipped;
    for (int at = 0, i = 0; at < stream.size(); ++i) {
        // A zero size appends nothing once, then one byte, so the loop ends.
        int chunk = sizeCount ? data[1 + i % sizeCount] : stream.size();
        if (chunk == 0)
            cutter.append(QByteArray());
        chunk = std::min(std::max(chunk, 1), stream.size() - at);
        cutter.append(stream.mid(at, chunk));
        at += chunk;
        while (cutter.next(&frame, &skipped)) {
            if (frame.size() < Frames::Overhead || frame.at(0) != Frames::MeterStart
                || frame.size() != Frames::frameSize(uchar(frame.at(2))))
                abort();
            out += skipped + frame;
        }
        out += skipped;  // a call that finds no whole frame may still throw bytes away
    }
    if (out + cutter.buffer() != stream)
        abort();
    return 0;
}
