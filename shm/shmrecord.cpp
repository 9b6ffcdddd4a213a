#include "shm/shmrecord.h"

#include <QDataStream>
#include <QtEndian>

#include <limits>

namespace ShmRecord {

namespace {
// The longest array a QByteArray can hold: its allocation, header and
// terminating NUL included, must stay within an int.
constexpr quint32 MaxArrayLength =
    quint32(std::numeric_limits<int>::max()) - sizeof(QArrayData) - 1;
} // namespace

QByteArray encode(const QByteArray &array)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out << array;
    return record;
}

bool decode(const void *data, qint64 size, QByteArray *array)
{
    *array = QByteArray();
    if (!data || size < LengthSize) {
        *array = QByteArray("");
        return false;
    }
    const quint32 length = qFromBigEndian<quint32>(data);
    if (length == NullLength)
        return true;
    if (length > MaxArrayLength || qint64(length) > size - LengthSize) {
        *array = QByteArray("");
        return false;
    }
    *array = QByteArray(static_cast<const char *>(data) + LengthSize, int(length));
    return true;
}

QByteArray decode(const QByteArray &segment)
{
    QByteArray array;
    decode(segment.constData(), segment.size(), &array);
    return array;
}

const QByteArray &clearMarker()
{
    static const QByteArray marker = encode(QByteArray(1, '\0'));
    return marker;
}

} // namespace ShmRecord
