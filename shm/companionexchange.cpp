#include "shm/companionexchange.h"

#include <QDebug>
#include <QSharedMemory>

#include "meter/frames.h"
#include "shm/segmentio.h"
#include "shm/shmrecord.h"

CompanionExchange::CompanionExchange(QObject *parent)
    : QObject(parent)
    , data(new QSharedMemory(QString::fromLatin1(ShmRecord::DataSegmentKey), this))
    , command(new QSharedMemory(QString::fromLatin1(ShmRecord::CommandSegmentKey), this))
{
}

void CompanionExchange::publish(const QByteArray &record)
{
    QString error;
    if (SegmentIO::publish(*data, record, &error) == SegmentIO::PublishResult::Failed) {
        qDebug() << "Unable to create memory segment." << error;
        return;
    }
    qDebug() << "shared memory has created";
}

QByteArray CompanionExchange::takeCommand()
{
    const QByteArray taken = SegmentIO::takeCommand(*command);
    if (taken.size() != CommandSize)
        return QByteArray();
    // The companion asks for the last measurement with the very command the
    // meter would get; it is answered from here and never reaches the meter.
    if (taken == Frames::readMeasurement()) {
        publish(last);
        qDebug() << "here5";
        return QByteArray();
    }
    return taken;
}
