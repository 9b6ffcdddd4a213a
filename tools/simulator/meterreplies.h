#ifndef SIMULATOR_METERREPLIES_H
#define SIMULATOR_METERREPLIES_H

#include <QByteArray>

// How the simulated meter answers each command frame. Only whole frames
// equal to the program's fixed commands are answered; anything else is
// left unanswered, as a meter ignores what it does not know.
namespace MeterReplies {

enum class Kind {
    Measurement,        // "213300AC": a measurement reply from the scenario
    CalibrationStart,   // "213800A7": a short reply at once
    CalibrationFinish,  // "213900A6": "063900C1" after the calibration delay
    FactoryReset,       // "214A01A2F2": "064A00B0" at once
    Unknown             // no reply
};

Kind classify(const QByteArray &command);

// The fixed reply for a kind; empty for Measurement (values come from the
// scenario) and Unknown.
QByteArray fixedReply(Kind kind);

// Stray bytes for --garbage. Never 0x06, so the program's cutter can skip
// them without mistaking one for the start of a reply.
QByteArray strayBytes(int replyIndex);

// Whether --garbage puts stray bytes in front of the reply with this index
// (0-based count of replies on the connection): every third, from the first.
inline bool garbageBefore(int replyIndex) { return replyIndex % 3 == 0; }

} // namespace MeterReplies

#endif
