#ifndef COMPANION_SEGMENTS_H
#define COMPANION_SEGMENTS_H

#include <QByteArray>
#include <QSharedMemory>
#include <QString>

// The companion's side of the two segments. Every access takes the
// segment's per-key lock, the same one the program takes, and lets it go
// before returning: nothing here goes back to the event loop holding a
// lock, so a signal handled there can never leave one held.

struct DataReading
{
    enum State { NoSegment, Unreadable, Malformed, Record };
    State state = NoSegment;
    QByteArray array;          // for Record
    qint64 segmentSize = 0;
    quint32 claimedLength = 0; // for Malformed
    QString error;             // for Unreadable
};

// Attach, lock, copy, unlock, detach. Never stays attached: the program
// makes the data segment anew on every write and cannot while someone
// still holds the old one.
DataReading readDataSegment();

// The command segment, held from place() until release(): the program
// never creates it, so it exists only while a companion holds it.
class CommandSlot
{
public:
    CommandSlot();
    ~CommandSlot();
    CommandSlot(const CommandSlot &) = delete;
    CommandSlot &operator=(const CommandSlot &) = delete;

    // Writes the record of 'command' at the start of the segment, creating
    // the segment at the record's size. When a segment already exists
    // (another companion, or one left by a crash) it is reused if the
    // record fits; '*reused' tells which.
    bool place(const QByteArray &command, QString *error, bool *reused = nullptr);
    // True once the program has read the command and written the clear
    // marker over it.
    bool wiped();
    void release();

private:
    QSharedMemory memory;
};

#endif
