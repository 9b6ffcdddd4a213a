#include "companion/companionjobs.h"

#include <QDateTime>

#include "common/console.h"
#include "meter/frames.h"
#include "companion/recordtext.h"
#include "lane/lanereading.h"
#include "shm/shmrecord.h"

using console::hex;

CommandSender::CommandSender(const QByteArray &command, int timeoutMs, QObject *parent)
    : QObject(parent), command(command), timeoutMs(timeoutMs)
{
    connect(&poller, &QTimer::timeout, this, &CommandSender::check);
}

void CommandSender::start()
{
    QString error;
    bool reused = false;
    if (!slot.place(command, &error, &reused)) {
        finish(Failed, QStringLiteral("cannot place the command: ") + error);
        return;
    }
    const QString key = QString::fromLatin1(ShmRecord::CommandSegmentKey);
    if (reused)
        emit message(QStringLiteral("note: %1 already existed; the command replaces what it held")
                         .arg(key));
    if (command.size() != 4)
        emit message(QStringLiteral("note: the program acts on 4-byte commands only; it will "
                                    "wipe this %1-byte one and do nothing").arg(command.size()));
    emit message(QStringLiteral("placed %1 in %2; waiting up to %3 ms for the program to take it")
                     .arg(hex(command), key)
                     .arg(timeoutMs));
    waited.start();
    poller.start(PollMs);
}

void CommandSender::check()
{
    if (slot.wiped())
        finish(Taken, QStringLiteral("taken: the program wiped the command after %1 ms")
                          .arg(waited.elapsed()));
    else if (waited.elapsed() >= timeoutMs)
        finish(NotTaken, QStringLiteral("not taken within %1 ms: is the program running and "
                                        "connected to the meter?").arg(timeoutMs));
}

void CommandSender::withdraw()
{
    finish(Withdrawn, QStringLiteral("interrupted: the command was withdrawn before the program "
                                     "took it"));
}

void CommandSender::finish(Outcome outcome, const QString &line)
{
    if (done)
        return;
    done = true;
    poller.stop();
    slot.release();
    result = outcome;
    emit message(line);
    emit finished();
}

MeasurementLogger::MeasurementLogger(double rateHz, int count, QObject *parent)
    : QObject(parent), count(count)
{
    rateTimer.setInterval(qMax(1, qRound(1000.0 / rateHz)));
    connect(&rateTimer, &QTimer::timeout, this, &MeasurementLogger::tick);
    connect(&poller, &QTimer::timeout, this, &MeasurementLogger::check);
}

bool MeasurementLogger::start(QString *error)
{
    if (!request(error))
        return false;
    rateTimer.start();
    poller.start(PollMs);
    return true;
}

void MeasurementLogger::stop()
{
    rateTimer.stop();
    poller.stop();
    slot.release();
}

bool MeasurementLogger::request(QString *error)
{
    if (!slot.place(Frames::readMeasurement(), error))
        return false;
    outstanding = true;
    waited.start();
    return true;
}

void MeasurementLogger::tick()
{
    if (outstanding || answerPending)
        return;
    QString error;
    if (!request(&error))
        emit notice(QStringLiteral("cannot place a request: ") + error);
}

void MeasurementLogger::check()
{
    if (!outstanding)
        return;
    if (slot.wiped()) {
        outstanding = false;
        answerPending = true;
        warnedSlow = false;
        QTimer::singleShot(SettleMs, this, &MeasurementLogger::readAnswer);
    } else if (!warnedSlow && waited.elapsed() >= SlowAnswerMs) {
        warnedSlow = true;
        emit notice(QStringLiteral("the program has not taken the request for %1 ms; still "
                                   "waiting").arg(SlowAnswerMs));
    }
}

void MeasurementLogger::readAnswer()
{
    answerPending = false;
    if (!rateTimer.isActive())
        return;
    const DataReading reading = readDataSegment();
    LaneReading values;
    if (reading.state != DataReading::Record
        // The log keeps wall time only.
        || !LaneReading::fromReply(reading.array, 0, QDateTime::currentDateTime(), &values)) {
        if (!warnedNoMeasurement)
            emit notice(QStringLiteral("no measurement in the data segment yet: ")
                        + RecordText::describe(reading));
        warnedNoMeasurement = true;
        return;
    }
    warnedNoMeasurement = false;
    emit row(RecordText::csvLine(values));
    ++written;
    if (count > 0 && written >= count) {
        stop();
        emit finished();
    }
}
