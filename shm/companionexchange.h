#ifndef SHM_COMPANIONEXCHANGE_H
#define SHM_COMPANIONEXCHANGE_H

#include <QByteArray>
#include <QObject>

class QSharedMemory;

// The exchange with a companion process through the two named segments:
// what the program publishes in the data segment, the commands it takes
// from the command segment, and the last measurement reply it answers a
// companion's request for one with.
class CompanionExchange : public QObject
{
    Q_OBJECT

public:
    // Only 4-byte commands from the companion are acted on; anything else
    // that the segment holds is wiped and ignored.
    static constexpr int CommandSize = 4;

    explicit CompanionExchange(QObject *parent = nullptr);

    // One record in the data segment, made when missing.
    void publish(const QByteArray &record);
    void rememberMeasurement(const QByteArray &frame) { last = frame; }
    // Reads and wipes the command segment. A request for the last
    // measurement is answered here; any other 4-byte command is returned
    // for the meter. Empty when there is nothing to send.
    QByteArray takeCommand();

    QSharedMemory *dataSegment() const { return data; }
    QSharedMemory *commandSegment() const { return command; }

private:
    QSharedMemory *data;
    QSharedMemory *command;
    QByteArray last;
};

#endif
