#include "station/stationlink.h"

namespace station {

namespace {

ForwardOptions optionsFor(const settings::StationServer &server, const QString &laneDb)
{
    ForwardOptions options;
    options.server = server;
    options.laneDb = laneDb;
    return options;
}

} // namespace

StationLink::StationLink(const settings::StationServer &server, const QString &laneDb, QObject *parent)
    : StationLink(optionsFor(server, laneDb), parent)
{
}

StationLink::StationLink(const ForwardOptions &options, QObject *parent) : QObject(parent)
{
    if (!options.server.enabled())
        return;
    forwarder = std::make_unique<Forwarder>(options);
    connect(forwarder.get(), &Forwarder::synced, this, [this] { show(State::Synced, 0, QString()); });
    connect(forwarder.get(), &Forwarder::pending, this, [this](int count) { show(State::Pending, count, QString()); });
    connect(forwarder.get(), &Forwarder::failed, this,
            [this](const QString &reason) { show(State::Failed, 0, reason); });
    forwarder->start();
}

// Out of line: the forwarder's thread is stopped here.
StationLink::~StationLink() = default;

void StationLink::tryNow()
{
    if (forwarder)
        forwarder->tryNow();
}

QString StationLink::statusText() const
{
    switch (state) {
    case State::Synced:
        return Forwarder::syncedText();
    case State::Pending:
        return Forwarder::pendingText(pendingCount);
    case State::Failed:
        return Forwarder::failedText(failure);
    case State::Unknown:
        break;
    }
    return QString();
}

void StationLink::show(State now, int pending, const QString &reason)
{
    if (now == state && pending == pendingCount && reason == failure)
        return;
    state = now;
    pendingCount = pending;
    failure = reason;
    emit statusChanged(statusText());
}

} // namespace station
