#ifndef NET_FRAMECUTTER_H
#define NET_FRAMECUTTER_H

#include <QByteArray>

// Cuts the meter's byte stream into frames by their length byte.
//
// Bytes are appended as they arrive, so a frame split across reads is put
// back together. Anything in front of the first reply start byte (0x06) is
// thrown away before a frame is cut, so a stray byte cannot swallow the
// frames behind it. Each cut takes exactly the frame's n + 4 bytes.
class FrameCutter
{
public:
    void append(const QByteArray &bytes);

    // Takes the next whole frame off the front of the buffer. Returns false,
    // leaving any partial frame in place, when no whole frame is there.
    bool next(QByteArray *frame);

    void clear();
    // The bytes received and not yet cut.
    QByteArray buffer() const { return m_buffer.mid(m_start); }

private:
    void skipToStart();
    void compact();

    // Cut frames are skipped over by m_start and dropped in one go once the
    // cutter runs dry, so a large read is not shifted once per frame.
    QByteArray m_buffer;
    int m_start = 0;
};

#endif
