#ifndef NET_METERLINK_H
#define NET_METERLINK_H

#include <QByteArray>
#include <QObject>

#include "net/serialline.h"

class LinkKeeper;
class QTimer;
class SerialClient;
class ServerSweep;
class SocketClient;

// The link to the meter as the lane uses it: the client, the sweep that
// finds its server, the timer that polls the meter and the keeper that mends a lost connection. Whoever owns
// it wires the client's and the timer's signals to the work they drive.
// The meter is reached through its network server or on a serial port;
// this is the one place that chooses, and the frames in and out are the
// same either way.
class MeterLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollingIntervalMs = 100;

    explicit MeterLink(QObject *parent = nullptr);

    SocketClient *client() const { return networkClient; }
    ServerSweep *serverSweep() const { return sweep; }
    QTimer *pollTimer() const { return timer; }
    // Made on first call and told of every poll from then on, after what
    // is already connected to the timer.
    LinkKeeper *keeper();

    void startPolling();
    // Gives a poll already on its way time to be answered before the meter
    // is sent a command of another kind; blocks for that time.
    void stopPolling();

    // The meter is on this serial port from now on; it is opened at once.
    void useSerial(const SerialLine &line);
    // The meter is behind its network server again; the keeper is left
    // looking, for the owner to name the address or start a sweep.
    void useNetwork();
    bool onSerial() const { return serialInUse; }
    SerialClient *serialClient() const { return serial; }
    // Frames dropped for a wrong checksum since the start, on either link.
    int droppedFrames() const;

signals:
    // The transport is up: the server connected, or the port opened.
    // 'foundServer' is the server a sweep took, to be remembered, or empty.
    void linkUp(const QString &foundServer);
    void frameReceived(const QByteArray &frame);
    void framesDropped(int total);

public slots:
    void send(const QByteArray &frame);

private:
    SocketClient *networkClient;  // the data link to the meter's network server
    ServerSweep *sweep;
    SerialClient *serial = nullptr;
    bool serialInUse = false;
    QTimer *timer;
    LinkKeeper *linkKeeper = nullptr;  // made by keeper() on first call
};

#endif
