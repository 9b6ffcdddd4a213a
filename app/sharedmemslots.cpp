#include "app/mainwindow.h"

#include <QDebug>
#include <QSharedMemory>

#include "meter/frames.h"
#include "shm/segmentio.h"

// Shared-memory exchange with the companion process.

namespace {
// Only 4-byte commands from the companion are acted on; anything else that
// the segment holds is wiped and ignored.
constexpr int CompanionCommandSize = 4;
} // namespace

void mainwindow::writemem(QByteArray record)
{
    QString error;
    if (SegmentIO::publish(*dataSegment, record, &error) == SegmentIO::PublishResult::Failed) {
        qDebug() << "Unable to create memory segment." << error;
        return;
    }
    qDebug() << "shared memory has created";
}

void mainwindow::loadmem()
{
    const QByteArray command = SegmentIO::takeCommand(*cmdSegment);
    if (command.size() != CompanionCommandSize)
        return;
    // The companion asks for the last measurement with the very command the
    // meter would get; it is answered from here and never reaches the meter.
    if (command == Frames::readMeasurement()) {
        writemem(lastMeasurement);
        qDebug() << "here5";
        return;
    }
    emit writecmd(command);
}
