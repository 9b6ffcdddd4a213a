#ifndef NET_METERLINK_H
#define NET_METERLINK_H

#include <QObject>

class LinkKeeper;
class QTimer;
class SocketClient;

// The link to the meter as the lane uses it: the client, the timer that
// polls the meter and the keeper that mends a lost connection. Whoever owns
// it wires the client's and the timer's signals to the work they drive.
class MeterLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollingIntervalMs = 100;

    explicit MeterLink(QObject *parent = nullptr);

    SocketClient *client() const { return socket; }
    QTimer *pollTimer() const { return timer; }
    // Made on first call and told of every poll from then on, after what
    // is already connected to the timer.
    LinkKeeper *keeper();

    void startPolling();
    // Gives a poll already on its way time to be answered before the meter
    // is sent a command of another kind; blocks for that time.
    void stopPolling();

private:
    SocketClient *socket;
    QTimer *timer;
    LinkKeeper *keep = nullptr;
};

#endif
