#include "shm/segmentio.h"

#include <QSharedMemory>

#include <algorithm>
#include <cstring>

#include "shm/shmrecord.h"

namespace SegmentIO {

namespace {

void copyIn(QSharedMemory &segment, const QByteArray &bytes)
{
    segment.lock();
    const int count = std::min(segment.size(), bytes.size());
    std::memcpy(segment.data(), bytes.constData(), size_t(count));
    segment.unlock();
}

} // namespace

PublishResult publish(QSharedMemory &segment, const QByteArray &array, QString *error)
{
    const QByteArray record = ShmRecord::encode(array);

    if (segment.isAttached())
        segment.detach();

    if (segment.create(record.size(), QSharedMemory::ReadWrite)) {
        copyIn(segment, record);
        return PublishResult::Created;
    }
    if (segment.error() != QSharedMemory::AlreadyExists) {
        *error = segment.errorString();
        return PublishResult::Failed;
    }

    const QString createError = segment.errorString();
    if (!segment.attach(QSharedMemory::ReadWrite)) {
        *error = createError + QStringLiteral("; ") + segment.errorString();
        return PublishResult::Failed;
    }
    if (segment.size() < record.size()) {
        *error = createError
                 + QStringLiteral("; the existing segment holds %1 bytes, the record needs %2")
                       .arg(segment.size())
                       .arg(record.size());
        // Letting go lets the segment vanish once the companion does too,
        // so a later write can make one of the right size.
        segment.detach();
        return PublishResult::Failed;
    }
    copyIn(segment, record);
    return PublishResult::Reused;
}

QByteArray takeCommand(QSharedMemory &segment)
{
    // Still attached means an earlier detach failed; trying again is all
    // this call does, so a stuck attachment cannot pin the segment forever.
    if (segment.isAttached()) {
        segment.detach();
        return QByteArray();
    }
    if (!segment.attach(QSharedMemory::ReadWrite))
        return QByteArray();

    segment.lock();
    QByteArray command;
    ShmRecord::decode(segment.constData(), segment.size(), &command);
    // Wiping means the companion's command is acted on at most once.
    const QByteArray &marker = ShmRecord::clearMarker();
    std::memcpy(segment.data(), marker.constData(),
                size_t(std::min(segment.size(), marker.size())));
    segment.unlock();
    segment.detach();
    return command;
}

} // namespace SegmentIO
