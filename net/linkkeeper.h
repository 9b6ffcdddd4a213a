#ifndef NET_LINKKEEPER_H
#define NET_LINKKEEPER_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class SocketClient;

// Keeps the data connection to the meter server once discovery has made it:
// notices a lost link (the socket closes or fails, or nothing at all is
// heard for a while as the meter is polled) and mends it without blocking,
// trying the last known address once a tick for a few tries, then sweeping
// the subnet, then the address again, until the server answers. Also tells
// whether the values on show have gone stale.
class LinkKeeper : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Connecting,  // before the first connection, which is discovery's business
        Connected,
        Retrying,    // the last known address, once a tick
        Sweeping,    // waiting for a sweep of the subnet to end
    };
    Q_ENUM(State)

    static constexpr int TickMs = 1000;
    static constexpr int TriesBeforeSweep = 5;
    static constexpr int SilenceLimitMs = 3000;
    static constexpr int StaleAfterMs = 1000;
    // Polls further apart than this mean polling was stopped on purpose
    // (calibration): the silence before it proves nothing.
    static constexpr int PollGapMs = 1000;

    explicit LinkKeeper(SocketClient *client, QObject *parent = nullptr);

    State state() const { return current; }
    QString address() const { return known; }
    bool valuesStale() const { return stale; }

    // One entry point per event. The client's own signals are wired to the
    // first four here; the owner of the polling reports the last two.
    void onConnected();
    void onLost();
    void onReply();
    void onSweepEnded();
    void onTick();
    void onPolled();
    void onMeasurement();

signals:
    void stateChanged(LinkKeeper::State state, const QString &address);
    void staleChanged(bool stale);

private:
    void enter(State next);
    void dropAndRetry();
    void setStale(bool on);

    SocketClient *client;
    QTimer ticker;
    State current = State::Connecting;
    QString known;
    QString announced;  // the address of the last stateChanged
    int tries = 0;
    QElapsedTimer sinceReply;
    QElapsedTimer sinceMeasurement;
    QElapsedTimer sincePoll;
    bool stale = false;
};

#endif
