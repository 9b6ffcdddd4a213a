#include "companion/segments.h"

#include <QtEndian>

#include <cstring>

#include "shm/shmrecord.h"

DataReading readDataSegment()
{
    DataReading reading;
    QSharedMemory memory(QString::fromLatin1(ShmRecord::DataSegmentKey));
    if (!memory.attach(QSharedMemory::ReadOnly)) {
        if (memory.error() != QSharedMemory::NotFound) {
            reading.state = DataReading::Unreadable;
            reading.error = memory.errorString();
        }
        return reading;
    }
    memory.lock();
    const QByteArray segment(static_cast<const char *>(memory.constData()), memory.size());
    memory.unlock();
    memory.detach();

    reading.segmentSize = segment.size();
    if (ShmRecord::decode(segment.constData(), segment.size(), &reading.array)) {
        reading.state = DataReading::Record;
    } else {
        reading.state = DataReading::Malformed;
        reading.array.clear();
        if (segment.size() >= ShmRecord::LengthSize)
            reading.claimedLength = qFromBigEndian<quint32>(segment.constData());
    }
    return reading;
}

CommandSlot::CommandSlot() : memory(QString::fromLatin1(ShmRecord::CommandSegmentKey)) {}

CommandSlot::~CommandSlot()
{
    release();
}

bool CommandSlot::place(const QByteArray &command, QString *error, bool *reused)
{
    const QByteArray record = ShmRecord::encode(command);
    bool existed = false;
    if (!memory.isAttached() && !memory.create(record.size())) {
        if (memory.error() != QSharedMemory::AlreadyExists || !memory.attach()) {
            *error = memory.errorString();
            return false;
        }
        existed = true;
    }
    if (memory.size() < record.size()) {
        *error = QStringLiteral("the existing command segment holds %1 bytes, too few for a "
                                "record of %2")
                     .arg(memory.size())
                     .arg(record.size());
        memory.detach();
        return false;
    }
    memory.lock();
    std::memset(memory.data(), 0, size_t(memory.size()));
    std::memcpy(memory.data(), record.constData(), size_t(record.size()));
    memory.unlock();
    if (reused)
        *reused = existed;
    return true;
}

bool CommandSlot::wiped()
{
    if (!memory.isAttached())
        return false;
    const QByteArray &marker = ShmRecord::clearMarker();
    const int compared = qMin(memory.size(), marker.size());
    memory.lock();
    const bool same = std::memcmp(memory.constData(), marker.constData(), size_t(compared)) == 0;
    memory.unlock();
    return same;
}

void CommandSlot::release()
{
    if (memory.isAttached())
        memory.detach();
}
