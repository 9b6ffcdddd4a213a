#include "net/framecutter.h"

void FrameCutter::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

void FrameCutter::skipToStart(QByteArray *skipped)
{
    int start = m_buffer.indexOf(m_startByte, m_start);
    // A start byte whose length byte is too large is a stray byte, not a frame.
    while (start >= 0 && start + Frames::HeaderSize <= m_buffer.size()
           && static_cast<unsigned char>(m_buffer.at(start + 2)) > m_maxDataLength)
        start = m_buffer.indexOf(m_startByte, start + 1);
    if (skipped)
        *skipped = m_buffer.mid(m_start, (start < 0 ? m_buffer.size() : start) - m_start);
    if (start < 0)
        clear();
    else
        m_start = start;
}

void FrameCutter::compact()
{
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_corruptUntil = qMax(0, m_corruptUntil - m_start);
        m_start = 0;
    }
}

bool FrameCutter::dropIfCorrupt(int size)
{
    if (!m_checked || Frames::checksumRight(QByteArray::fromRawData(m_buffer.constData() + m_start, size)))
        return false;
    if (m_start >= m_corruptUntil)
        ++m_dropped;
    m_corruptUntil = qMax(m_corruptUntil, m_start + size);
    ++m_start;
    return true;
}

bool FrameCutter::next(QByteArray *frame, QByteArray *skipped)
{
    QByteArray skippedNow;
    int size = 0;
    do {
        QByteArray before;
        skipToStart(skipped ? &before : nullptr);
        skippedNow += before;
        const int available = m_buffer.size() - m_start;
        size = available >= Frames::Overhead
                   ? Frames::frameSize(static_cast<unsigned char>(m_buffer.at(m_start + 2)))
                   : Frames::Overhead;
        if (available < size) {
            compact();
            if (skipped)
                *skipped = skippedNow;
            return false;
        }
        if (skipped && m_checked)
            skippedNow += m_buffer.at(m_start);
    } while (dropIfCorrupt(size));
    if (skipped) {
        if (m_checked)
            skippedNow.chop(1);
        *skipped = skippedNow;
    }
    *frame = m_buffer.mid(m_start, size);
    m_start += size;
    if (m_start == m_buffer.size())
        clear();
    return true;
}

void FrameCutter::clear()
{
    m_buffer.clear();
    m_start = 0;
    m_corruptUntil = 0;
}

QByteArray FrameCutter::takePartial()
{
    const QByteArray partial = buffer();
    clear();
    return partial;
}
