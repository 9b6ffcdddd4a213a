#include "shm/shmrecord.h"

#include <QBuffer>
#include <QDataStream>

namespace ShmRecord {

QByteArray encode(const QByteArray &array)
{
    QByteArray record;
    QBuffer buffer(&record);
    buffer.open(QIODevice::ReadWrite);
    QDataStream out(&buffer);
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
    const auto *p = static_cast<const unsigned char *>(data);
    const quint32 length = (quint32(p[0]) << 24) | (quint32(p[1]) << 16)
                           | (quint32(p[2]) << 8) | quint32(p[3]);
    if (length == NullLength)
        return true;
    if (qint64(length) > size - LengthSize) {
        *array = QByteArray("");
        return false;
    }
    *array = QByteArray(reinterpret_cast<const char *>(p + LengthSize), int(length));
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
