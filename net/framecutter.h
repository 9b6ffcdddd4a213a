#ifndef NET_FRAMECUTTER_H
#define NET_FRAMECUTTER_H

#include <QByteArray>

#include "meter/frames.h"

// Cuts a byte stream into meter frames by their length byte: the meter's
// replies (start byte 0x06) on the program's side, the host's commands
// (0x21) on the simulated meter's side.
//
// Bytes are appended as they arrive, so a frame split across reads is put
// back together. Anything in front of the first start byte is thrown away
// before a frame is cut, and so is a start byte whose length byte announces
// more than 'maxDataLength' data bytes: line noise can put a lone 0x06 in
// front of a reply, and read as a frame start it would take the reply's
// command code for a length and swallow the replies behind it. Each cut
// takes exactly the frame's n + 4 bytes.
//
// With the checksum checked, a frame whose bytes do not sum to 0 is never
// handed on. Only its start byte is given up, and the search for a frame
// goes on right behind it: the "frame" may have begun at a stray 0x06 and
// hold the front of a good one. The corrupted region counts once however
// many false starts lie inside it.
class FrameCutter
{
public:
    enum class Checksum { Checked, Unchecked };

    explicit FrameCutter(char startByte = Frames::MeterStart,
                         int maxDataLength = Frames::LongestReplyData,
                         Checksum checksum = Checksum::Checked)
        : m_startByte(startByte), m_maxDataLength(maxDataLength),
          m_checked(checksum == Checksum::Checked)
    {
    }

    void append(const QByteArray &bytes);

    // Takes the next whole frame off the front of the buffer. Returns false,
    // leaving any partial frame in place, when no whole frame is there.
    // 'skipped', when given, receives the bytes this call threw away.
    bool next(QByteArray *frame, QByteArray *skipped = nullptr);

    void clear();
    // The bytes received and not yet cut.
    QByteArray buffer() const { return m_buffer.mid(m_start); }
    bool hasPartial() const { return m_start < m_buffer.size(); }
    // Gives up a partial frame, as a serial device does after a gap between
    // bytes, and returns what was dropped.
    QByteArray takePartial();
    // Frames given up for a wrong checksum since the cutter was made.
    int dropped() const { return m_dropped; }

private:
    void skipToStart(QByteArray *skipped);
    void compact();
    bool dropIfCorrupt(int size);

    char m_startByte;
    int m_maxDataLength;
    bool m_checked;
    int m_dropped = 0;
    int m_corruptUntil = 0;  // end of the last corrupted frame in m_buffer
    // Cut frames are skipped over by m_start and dropped in one go once the
    // cutter runs dry, so a large read is not shifted once per frame.
    QByteArray m_buffer;
    int m_start = 0;
};

#endif
