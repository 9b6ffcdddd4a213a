#include "net/linkkeeper.h"

#include <QDebug>

#include <iterator>

#include "net/serialclient.h"
#include "net/serversweep.h"
#include "net/socketclient.h"

bool SweepSchedule::tick(bool sweeping)
{
    // The pause runs from a sweep's end, however long the sweep took.
    if (sweeping)
        return false;
    if (left > 0)
        --left;
    return left == 0;
}

void SweepSchedule::startPause()
{
    pauseLength = PauseTicks[step];
    left = pauseLength;
    if (step + 1 < int(std::size(PauseTicks)))
        ++step;
}

LinkKeeper::LinkKeeper(SocketClient *client, ServerSweep *sweep, QObject *parent)
    : QObject(parent), client(client), sweep(sweep)
{
    qRegisterMetaType<LinkKeeper::State>();
    ticker.setInterval(TickMs);
    connect(&ticker, &QTimer::timeout, this, &LinkKeeper::onTick);
    connect(client, &SocketClient::findEnableReady, this, &LinkKeeper::onConnected);
    connect(client, &SocketClient::connectionLost, this, &LinkKeeper::onLost);
    connect(client, &SocketClient::sendParsePack, this, &LinkKeeper::onReply);
    connect(sweep, &ServerSweep::ended, this, &LinkKeeper::onSweepEnded);
}

void LinkKeeper::startLooking(const QString &stored)
{
    if (serial) {
        if (!serial->isOpen())
            serial->open();
        if (current == State::Connecting)
            enter(State::Looking);
        return;
    }
    if (known.isEmpty())
        known = stored;
    // A show event during a cycle's sweep must not start a second one beside
    // it; one in a pause of the cycle is welcome to sweep at once.
    if (!sweep->isSweeping())
        sweep->start();
    if (current == State::Connecting)
        enter(State::Looking);
}

void LinkKeeper::useAddress(const QString &address)
{
    // Neither the old address nor one an earlier sweep found may win the
    // link back.
    known = address;
    others.removeAll(address);
    client->forgetFoundServer();
    schedule.reset();
    schedule.startPause();
    enter(State::Looking);
    client->connectToServer(known);
}

void LinkKeeper::useSerial(SerialClient *port)
{
    if (serial) {
        serial->disconnect(this);
        serial->close();
    }
    serial = port;
    client->dropConnection();
    others.clear();
    schedule.reset();
    if (!serial) {
        known.clear();
        enter(State::Looking);
        emit problemChanged();
        return;
    }
    connect(serial, &SerialClient::opened, this, [this] {
        sinceReply.start();
        emit problemChanged();
    });
    connect(serial, &SerialClient::frameReceived, this, &LinkKeeper::onSerialFrame);
    connect(serial, &SerialClient::lost, this, &LinkKeeper::onLost);
    connect(serial, &SerialClient::openFailed, this, &LinkKeeper::problemChanged);
    known = serial->line().port;
    enter(current == State::Connected ? State::Retrying : State::Looking);
    emit metersElsewhere(others);
    serial->open();
    emit problemChanged();
}

QString LinkKeeper::problem() const
{
    return serial && current != State::Connected ? serial->problemText() : QString();
}

void LinkKeeper::onSerialFrame()
{
    sinceReply.start();
    if (!looking())
        return;
    schedule.reset();
    enter(State::Connected);
    emit problemChanged();
}

void LinkKeeper::onConnected()
{
    // The network client's news, when the meter is on a serial port, is of
    // an attempt made before the switch.
    if (serial)
        return;
    known = client->targetAddress();
    schedule.reset();
    sinceReply.start();
    enter(State::Connected);
}

void LinkKeeper::onLost()
{
    // A failed attempt while looking is simply waited out until the next tick.
    if (current == State::Connected)
        dropAndRetry();
}

void LinkKeeper::onReply()
{
    sinceReply.start();
}

void LinkKeeper::onSweepEnded(const QStringList &meters)
{
    if (serial)
        return;
    others = meters;
    others.removeAll(known);
    if (known.isEmpty() && looking()) {
        severalSeen = severalSeen || others.size() > 1;
        if (others.size() == 1 && !severalSeen) {
            known = others.takeFirst();
            client->announceServer(known);
        }
    }
    for (const QString &address : qAsConst(others))
        qDebug().nospace() << "link: another meter answers at " << address << ", not taken";
    emit metersElsewhere(others);
    if (!looking())
        return;
    schedule.startPause();
    qDebug() << "link: next sweep in" << schedule.pause() << "s";
}

void LinkKeeper::onTick()
{
    if (!looking())
        return;
    if (serial) {
        if (!serial->isOpen())
            serial->open();
        return;
    }
    if (!known.isEmpty())
        client->connectToServer(known);
    if (schedule.tick(sweep->isSweeping())) {
        qDebug() << "link: sweeping the subnet";
        sweep->start();
    }
}

void LinkKeeper::onPolled()
{
    if (!sincePoll.isValid() || sincePoll.elapsed() > PollGapMs) {
        sinceReply.start();
        sinceMeasurement.start();
    }
    sincePoll.start();
    if (sinceMeasurement.elapsed() > StaleAfterMs)
        setStale(true);
    if (sinceReply.elapsed() <= SilenceLimitMs)
        return;
    if (serial && serial->isOpen() && serial->problem() != SerialClient::Problem::Silent) {
        serial->noteSilence();
        emit problemChanged();
    }
    if (current == State::Connected)
        dropAndRetry();
}

void LinkKeeper::onMeasurement()
{
    sinceMeasurement.start();
    setStale(false);
}

void LinkKeeper::dropAndRetry()
{
    if (serial)
        serial->close();
    else
        client->dropConnection();
    schedule.startPause();
    enter(State::Retrying);
}

void LinkKeeper::setManualTicks(bool on)
{
    manualTicks = on;
    if (manualTicks)
        ticker.stop();
    else if (looking())
        ticker.start();
}

void LinkKeeper::enter(State next)
{
    // A show event may reconnect to another address without a loss between.
    if (next == current && known == announced)
        return;
    const State previous = current;
    current = next;
    announced = known;
    if (looking() && !manualTicks)
        ticker.start();
    else
        ticker.stop();
    switch (current) {
    case State::Connecting:
        break;
    case State::Connected:
        qDebug() << "link: connected to" << known;
        break;
    case State::Looking:
        qDebug() << "link: looking for the server" << known;
        break;
    case State::Retrying:
        qDebug() << (previous == State::Connected ? "link: lost, retrying" : "link: retrying")
                 << known;
        break;
    }
    emit stateChanged(current, known);
}

void LinkKeeper::setStale(bool on)
{
    if (stale == on)
        return;
    stale = on;
    emit staleChanged(stale);
}
