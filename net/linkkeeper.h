#ifndef NET_LINKKEEPER_H
#define NET_LINKKEEPER_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class SerialClient;
class ServerSweep;
class SocketClient;

// When the looking cycle sweeps the subnet: once a pause, counted in ticks
// from the end of the last sweep or from the loss of the link, has run out.
// The pause grows while no server answers, since a meter switched off for
// hours must not cost a sweep of the whole subnet every few seconds. A plain
// value fed one event at a time, so its table can be checked tick by tick.
class SweepSchedule
{
public:
    static constexpr int PauseTicks[] = {5, 10, 20, 60};

    // One tick; 'sweeping' says whether a sweep is under way, which the
    // pause waits for. Whether a sweep is due now.
    bool tick(bool sweeping);
    // A sweep ended, or the link was lost: the next pause, one step longer
    // than the last, starts now.
    void startPause();
    // A server answered: the next pause is the first one again.
    void reset() { step = 0; }
    int pause() const { return pauseLength; }

private:
    int step = 0;
    int pauseLength = 0;
    int left = 0;
};

// Keeps the data connection to the meter server: notices a lost link (the
// socket closes or fails, or nothing at all is heard for a while as the
// meter is polled) and mends it without blocking. Also goes on looking for a
// server that did not answer the first discovery step. Either way the cycle
// is the same: the known address once a tick, and a sweep of the subnet
// whenever the sweep schedule says so, until a server answers. Also tells
// whether the values on show have gone stale.
//
// Once an address is known (stored, typed or taken from a sweep) it is
// never given up by the keeper: on a station's network another meter that
// answers belongs to another lane. Sweeps then only name the meters that
// answer elsewhere. Without a known address a sweep that finds exactly one
// meter takes it, unless a sweep of this run has seen several: then the
// operator chooses.
class LinkKeeper : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Connecting,  // before the first discovery step has had its answer
        Connected,
        Looking,     // no link yet: the cycle looks for a server
        Retrying,    // the link was lost: the cycle looks for it again
    };
    Q_ENUM(State)

    static constexpr int TickMs = 1000;
    static constexpr int SilenceLimitMs = 3000;
    static constexpr int StaleAfterMs = 1000;
    // Polls further apart than this mean polling was stopped on purpose
    // (calibration): the silence before it proves nothing.
    static constexpr int PollGapMs = 1000;

    LinkKeeper(SocketClient *client, ServerSweep *sweep, QObject *parent = nullptr);

    State state() const { return current; }
    QString address() const { return known; }
    bool valuesStale() const { return stale; }
    // The meters the last sweep found and the keeper did not take.
    QStringList elsewhere() const { return others; }

    // The discovery step found no server at once ('stored', the address
    // from the settings, if any, did not answer): sweeps, unless a sweep is
    // under way already, and from then on looks by itself.
    void startLooking(const QString &stored);

    // The operator named the server: the link to any other is dropped, and
    // the cycle looks for this one alone until it answers.
    void useAddress(const QString &address);

    // The meter is on this serial port from now on (nullptr: behind the
    // network server again, which the owner then names or looks for). The
    // same cycle applies to the port, with no sweeps: it is opened once a
    // tick until it opens, and the link counts as up once the meter answers.
    void useSerial(SerialClient *port);
    // Why the serial port is not in use, in the operator's language, or
    // empty text.
    QString problem() const;

    // One entry point per event. The client's and the sweep's own signals
    // are wired to the first four here; the owner of the polling reports the last two.
    void onConnected();
    void onLost();
    void onReply();
    void onSweepEnded(const QStringList &meters);
    void onTick();
    void onPolled();
    void onMeasurement();

    // Tests only: the keeper's own one-second timer stays off, and the test
    // calls onTick() itself.
    void setManualTicks(bool on);

signals:
    void stateChanged(LinkKeeper::State state, const QString &address);
    void staleChanged(bool stale);
    // A sweep ended; 'addresses' answered and are not the known meter.
    void metersElsewhere(const QStringList &addresses);
    // problem() may say something else now.
    void problemChanged();

private:
    bool looking() const { return current == State::Looking || current == State::Retrying; }
    void enter(State next);
    void dropAndRetry();
    void setStale(bool on);
    void onSerialFrame();

    SocketClient *client;
    ServerSweep *sweep;
    SerialClient *serial = nullptr;
    QString problemShown;
    QTimer ticker;
    bool manualTicks = false;
    SweepSchedule schedule;
    State current = State::Connecting;
    QString known;
    QStringList others;
    bool severalSeen = false;  // a sweep without a known address found several
    QString announced;  // the address of the last stateChanged
    QElapsedTimer sinceReply;
    QElapsedTimer sinceMeasurement;
    QElapsedTimer sincePoll;
    bool stale = false;
};

#endif
