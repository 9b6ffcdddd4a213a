#include "net/framecutter.h"

#include "meter/frames.h"

void FrameCutter::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

void FrameCutter::skipToStart()
{
    const int start = m_buffer.indexOf(Frames::MeterStart);
    if (start < 0)
        m_buffer.clear();
    else if (start > 0)
        m_buffer.remove(0, start);
}

bool FrameCutter::next(QByteArray *frame)
{
    skipToStart();
    if (m_buffer.size() < Frames::Overhead)
        return false;
    const int size = Frames::frameSize(static_cast<unsigned char>(m_buffer.at(2)));
    if (m_buffer.size() < size)
        return false;
    *frame = m_buffer.left(size);
    m_buffer.remove(0, size);
    return true;
}

void FrameCutter::clear()
{
    m_buffer.clear();
}
