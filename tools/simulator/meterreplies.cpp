#include "simulator/meterreplies.h"

#include <iterator>

#include "meter/frames.h"

namespace MeterReplies {

Kind classify(const QByteArray &command)
{
    if (command == Frames::readMeasurement())
        return Kind::Measurement;
    if (command == Frames::calibrateStep1())
        return Kind::CalibrationStart;
    if (command == Frames::calibrateStep2())
        return Kind::CalibrationFinish;
    if (command == Frames::factoryReset())
        return Kind::FactoryReset;
    return Kind::Unknown;
}

namespace {

// The simulator's own answer to "213800A7": the bare reply frame for that
// code. The program does not look at it beyond publishing it.
const QByteArray &calibrationStartReply()
{
    static const QByteArray frame = [] {
        QByteArray f;
        f.append(Frames::MeterStart);
        f.append(Frames::calibrateStep1().at(1));
        f.append(char(0));
        f.append(Frames::checksum(f));
        return f;
    }();
    return frame;
}

} // namespace

QByteArray fixedReply(Kind kind)
{
    switch (kind) {
    case Kind::CalibrationStart:
        return calibrationStartReply();
    case Kind::CalibrationFinish:
        return Frames::calibrationDone();
    case Kind::FactoryReset:
        return Frames::factoryResetAccepted();
    case Kind::Measurement:
    case Kind::Unknown:
        break;
    }
    return QByteArray();
}

QByteArray strayBytes(int replyIndex)
{
    // A short, varied pattern: lengths 1 to 3, including a command start
    // byte and a zero, the bytes most likely to confuse a careless cutter.
    static const char pattern[] = {char(0xFF), char(0x21), char(0x00), char(0xAA),
                                   char(0x55), char(0x33)};
    constexpr int patternSize = int(std::size(pattern));
    const int count = 1 + (replyIndex / 3) % 3;
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(pattern[(replyIndex + i) % patternSize]);
    return bytes;
}

} // namespace MeterReplies
