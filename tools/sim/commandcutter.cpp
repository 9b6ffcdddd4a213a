#include "sim/commandcutter.h"

#include "meter/frames.h"

bool CommandCutter::next(QByteArray *command, QByteArray *stray)
{
    stray->clear();
    const int start = m_buffer.indexOf(Frames::HostStart);
    if (start < 0) {
        stray->swap(m_buffer);
        return false;
    }
    if (start > 0) {
        *stray = m_buffer.left(start);
        m_buffer.remove(0, start);
    }
    if (m_buffer.size() < Frames::HeaderSize)
        return false;
    const int size = Frames::frameSize(static_cast<unsigned char>(m_buffer.at(2)));
    if (m_buffer.size() < size)
        return false;
    *command = m_buffer.left(size);
    m_buffer.remove(0, size);
    return true;
}

QByteArray CommandCutter::takePartial()
{
    QByteArray partial;
    partial.swap(m_buffer);
    return partial;
}
