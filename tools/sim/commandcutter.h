#ifndef SIM_COMMANDCUTTER_H
#define SIM_COMMANDCUTTER_H

#include <QByteArray>

// The meter's side of the stream: cuts the host's bytes into command frames
// by their length byte. Bytes in front of a command start byte (0x21) are
// handed back as stray, so that the simulator can show them rather than
// let them shift every later frame.
class CommandCutter
{
public:
    void append(const QByteArray &bytes) { m_buffer.append(bytes); }

    // Takes the next whole command off the front. 'stray' receives any
    // bytes skipped to reach it (also when no whole command is there yet).
    bool next(QByteArray *command, QByteArray *stray);

    // Gives up a partial command, as a serial device does after a gap
    // between bytes; returns what was dropped.
    QByteArray takePartial();

    bool hasPartial() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};

#endif
