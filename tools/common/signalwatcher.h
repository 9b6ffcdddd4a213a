#ifndef TOOLS_SIGNALWATCHER_H
#define TOOLS_SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;
class QTimer;

// Turns SIGINT and SIGTERM into a Qt signal delivered by the event loop.
// The tools hold a segment lock or a socket only inside synchronous code,
// so by the time the event loop sees the request nothing is held, and the
// tool can detach and close in order instead of dying mid-copy.
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
