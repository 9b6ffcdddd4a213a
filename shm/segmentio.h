#ifndef SHM_SEGMENTIO_H
#define SHM_SEGMENTIO_H

#include <QByteArray>
#include <QString>

class QSharedMemory;

// The two ways the program touches a shared-memory segment, kept apart from
// the main window so they can be driven against any key.
namespace SegmentIO {

enum class PublishResult {
    Created,   // a new segment of exactly the record's size holds the record
    Reused,    // the segment still existed (a companion holds it attached)
               // and was big enough, so the record was written there
    Failed,    // nothing written; see the error text
};

// Writes the record of 'array' at the start of the segment of 'segment',
// which stays attached afterwards so the segment outlives this call.
//
// Any earlier segment is let go first and a new one made at the record's
// size. On Linux a segment lives while any process is attached, so while a
// companion keeps the old one open the new one cannot be made; the record
// then goes into the old segment if it fits. It is dropped only when it
// does not fit or no segment can be had at all.
PublishResult publish(QSharedMemory &segment, const QByteArray &array, QString *error);

// Attaches the segment, reads the record at its start, wipes it with the
// clear marker and detaches, all under the segment's lock. Returns the
// array read; an empty array when there is no segment or the record is
// malformed (length past the end, null, or a segment too small for one).
// Never allocates more than the segment holds.
QByteArray takeCommand(QSharedMemory &segment);

} // namespace SegmentIO

#endif
