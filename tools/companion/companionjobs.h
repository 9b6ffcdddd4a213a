#ifndef COMPANION_COMPANIONJOBS_H
#define COMPANION_COMPANIONJOBS_H

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "companion/segments.h"

// `send`: places one command and waits until the program wipes it or the
// time is up. The segment is held until then, because on most systems a
// segment that nobody holds is gone.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    enum Outcome { Taken, NotTaken, Withdrawn, Failed };

    CommandSender(const QByteArray &command, int timeoutMs, QObject *parent = nullptr);
    void start();
    // Gives up early (a signal); releases the segment.
    void withdraw();
    Outcome outcome() const { return result; }

    static constexpr int PollMs = 10;

signals:
    void message(const QString &line);
    void finished();

private:
    void check();
    void finish(Outcome outcome, const QString &line);

    CommandSlot slot;
    QByteArray command;
    int timeoutMs;
    QTimer poller;
    QElapsedTimer waited;
    Outcome result = Failed;
    bool done = false;
};

// `log`: asks for the last measurement at a steady rate and hands on one
// CSV line (RecordText::csvLine) per answer. A request stays in place until
// the program takes it; no new one is placed meanwhile.
class MeasurementLogger : public QObject
{
    Q_OBJECT
public:
    MeasurementLogger(double rateHz, int count, QObject *parent = nullptr);
    bool start(QString *error);
    void stop();
    int lines() const { return written; }

    // The program writes the data segment right after it wipes the command
    // segment; this leaves it time to finish before the answer is read.
    static constexpr int SettleMs = 20;
    static constexpr int PollMs = 5;
    static constexpr int SlowAnswerMs = 1000;

signals:
    void row(const QString &line);
    void notice(const QString &line);
    void finished();

private:
    bool request(QString *error);
    void tick();
    void check();
    void readAnswer();

    CommandSlot slot;
    int count;
    QTimer rateTimer;
    QTimer poller;
    QElapsedTimer waited;
    bool outstanding = false;
    bool answerPending = false;
    bool warnedSlow = false;
    bool warnedNoMeasurement = false;
    int written = 0;
};

#endif
