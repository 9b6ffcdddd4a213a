#ifndef SHM_SHMRECORD_H
#define SHM_SHMRECORD_H

#include <QByteArray>

// One byte array as QDataStream writes it with default settings: a 32-bit
// big-endian length, then the bytes; 0xFFFFFFFF stands for a null array.
// Both shared-memory segments hold exactly one such record from their first
// byte; whatever follows the record is not part of it.
namespace ShmRecord {

constexpr int LengthSize = 4;
constexpr quint32 NullLength = 0xFFFFFFFFu;

// The segments' keys, shared by the program and the companion tool.
constexpr const char DataSegmentKey[] = "VRKT_516_Shared_data";
constexpr const char CommandSegmentKey[] = "VRKT_516_Shared_cmd";

// The record's bytes for 'array' (4 + n bytes, or 4 for a null array).
QByteArray encode(const QByteArray &array);

// Reads the record at the start of 'size' bytes at 'data'. A record that
// does not fit in 'size' bytes reads as an empty array and the function
// returns false; a null record reads as a null array. Never allocates more
// than 'size' bytes, whatever the length field claims.
bool decode(const void *data, qint64 size, QByteArray *array);
QByteArray decode(const QByteArray &segment);

// What the program writes over the command segment after reading it: the
// record of the one-byte array {0x00}.
const QByteArray &clearMarker();

} // namespace ShmRecord

#endif
