#ifndef PLATFORM_SIGNALWATCHER_H
#define PLATFORM_SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;
class QTimer;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal delivered by the event
// loop. The program and the tools hold a segment lock, a socket or a
// database write only inside synchronous code, so by the time the event
// loop sees the request nothing is held, and they close in order (records
// kept, segments detached) instead of dying mid-write.
// One watcher at a time per process.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier *notifier = nullptr;
    QTimer *poller = nullptr;
};

#endif
