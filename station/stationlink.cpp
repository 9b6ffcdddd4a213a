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
    connect(forwarder.get(), &Forwarder::synced, this, [this] { show(Forwarder::syncedText()); });
    connect(forwarder.get(), &Forwarder::pending, this, [this](int count) { show(Forwarder::pendingText(count)); });
    connect(forwarder.get(), &Forwarder::failed, this,
            [this](const QString &reason) { show(Forwarder::failedText(reason)); });
    forwarder->start();
}

// Out of line: the forwarder's thread is stopped here.
StationLink::~StationLink() = default;

void StationLink::tryNow()
{
    if (forwarder)
        forwarder->tryNow();
}

void StationLink::show(const QString &text)
{
    if (text == status)
        return;
    status = text;
    emit statusChanged(status);
}

} // namespace station
