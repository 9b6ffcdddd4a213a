#include "net/meterlink.h"

#include <QTimer>

#include "net/linkkeeper.h"
#include "net/serialclient.h"
#include "net/serversweep.h"
#include "net/socketclient.h"
#include "platform/pause.h"

namespace {
constexpr int StopPollingPauseMs = 50;
constexpr int StopPollingPauses = 3;
} // namespace

MeterLink::MeterLink(QObject *parent)
    : QObject(parent), networkClient(new SocketClient(this)), sweep(new ServerSweep(this)), timer(new QTimer(this))
{
    timer->setObjectName(QStringLiteral("pollTimer"));
    // Ten polls a second, each 100 ms after the last: a coarse timer may
    // fire 5 % early or late to share a wake-up with others.
    timer->setTimerType(Qt::PreciseTimer);
    connect(networkClient, &SocketClient::findEnableReady, this, [this](const QString &ip) {
        if (!serialInUse)
            emit linkUp(ip);
    });
    connect(networkClient, &SocketClient::sendParsePack, this, [this](const QByteArray &frame) {
        if (!serialInUse)
            emit frameReceived(frame);
    });
    connect(networkClient, &SocketClient::framesDropped, this, [this] { emit framesDropped(droppedFrames()); });
}

void MeterLink::useSerial(const SerialLine &line)
{
    if (!serial) {
        serial = new SerialClient(this);
        connect(serial, &SerialClient::opened, this, [this] { emit linkUp(QString()); });
        connect(serial, &SerialClient::frameReceived, this, &MeterLink::frameReceived);
        connect(serial, &SerialClient::framesDropped, this, [this] { emit framesDropped(droppedFrames()); });
    }
    serial->close();
    serial->setLine(line);
    serialInUse = true;
    keeper()->useSerial(serial);
}

void MeterLink::useNetwork()
{
    if (!serialInUse)
        return;
    serialInUse = false;
    keeper()->useSerial(nullptr);
}

int MeterLink::droppedFrames() const
{
    return networkClient->droppedFrames() + (serial ? serial->droppedFrames() : 0);
}

void MeterLink::send(const QByteArray &frame)
{
    if (serialInUse)
        serial->send(frame);
    else
        networkClient->onSendToServer(frame);
}

LinkKeeper *MeterLink::keeper()
{
    if (!linkKeeper) {
        linkKeeper = new LinkKeeper(networkClient, sweep, this);
        connect(timer, &QTimer::timeout, linkKeeper, &LinkKeeper::onPolled);
    }
    return linkKeeper;
}

void MeterLink::startPolling()
{
    timer->start(PollingIntervalMs);
}

void MeterLink::stopPolling()
{
    if (!timer->isActive())
        return;
    timer->stop();
    for (int i = 0; i < StopPollingPauses; ++i)
        platform::pauseMs(StopPollingPauseMs);
}
