#include "net/linkkeeper.h"

#include <QDebug>

#include "net/socketclient.h"

LinkKeeper::LinkKeeper(SocketClient *client, QObject *parent)
    : QObject(parent), client(client)
{
    qRegisterMetaType<LinkKeeper::State>();
    ticker.setInterval(TickMs);
    connect(&ticker, &QTimer::timeout, this, &LinkKeeper::onTick);
    connect(client, &SocketClient::findEnableReady, this, &LinkKeeper::onConnected);
    connect(client, &SocketClient::connectionLost, this, &LinkKeeper::onLost);
    connect(client, &SocketClient::sendParsePack, this, &LinkKeeper::onReply);
    connect(client, &SocketClient::sweepEnded, this, &LinkKeeper::onSweepEnded);
}

void LinkKeeper::onConnected()
{
    known = client->targetAddress();
    tries = 0;
    sinceReply.start();
    enter(State::Connected);
}

void LinkKeeper::onLost()
{
    // A failed attempt while retrying is simply waited out until the next tick.
    if (current == State::Connected)
        dropAndRetry();
}

void LinkKeeper::onReply()
{
    sinceReply.start();
}

void LinkKeeper::onSweepEnded()
{
    // A hit has been handed over through beforeConnect already; if that
    // connection comes up, it ends the retrying.
    if (current == State::Sweeping)
        enter(State::Retrying);
}

void LinkKeeper::onTick()
{
    if (current != State::Retrying)
        return;
    if (tries < TriesBeforeSweep) {
        ++tries;
        client->connectToServer(known);
        return;
    }
    tries = 0;
    // A sweep already under way (a show event's) is waited for, not doubled.
    if (!client->isSweeping())
        client->findServer();
    client->dropConnection();
    enter(State::Sweeping);
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
    if (current == State::Connected && sinceReply.elapsed() > SilenceLimitMs)
        dropAndRetry();
}

void LinkKeeper::onMeasurement()
{
    sinceMeasurement.start();
    setStale(false);
}

void LinkKeeper::dropAndRetry()
{
    client->dropConnection();
    tries = 0;
    enter(State::Retrying);
}

void LinkKeeper::enter(State next)
{
    // A show event may reconnect to another address without a loss between.
    if (next == current && known == announced)
        return;
    const State previous = current;
    current = next;
    announced = known;
    if (current == State::Retrying)
        ticker.start();
    else
        ticker.stop();
    switch (current) {
    case State::Connecting:
        break;
    case State::Connected:
        qDebug() << "link: connected to" << known;
        break;
    case State::Retrying:
        qDebug() << (previous == State::Connected ? "link: lost, retrying" : "link: retrying")
                 << known;
        break;
    case State::Sweeping:
        qDebug() << "link: sweeping the subnet";
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
