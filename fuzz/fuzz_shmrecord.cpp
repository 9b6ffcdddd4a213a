#include <cstdlib>

#include "shm/shmrecord.h"

// The input twice over: as the contents of a command segment that the
// companion filled (the record must be read without running past the end),
// and as an array that the program publishes and the companion reads back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QByteArray command;
    const bool whole = ShmRecord::decode(data, qint64(size), &command);
    if (qint64(command.size()) > qMax<qint64>(qint64(size) - ShmRecord::LengthSize, 0) || (!whole && !command.isEmpty()))
        abort();

    QByteArray back;
    const QByteArray record = ShmRecord::encode(bytes);
    if (!ShmRecord::decode(record.constData(), record.size(), &back) || back != bytes || back.isNull() != bytes.isNull())
        abort();
    return 0;
}
