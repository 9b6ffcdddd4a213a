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

bool sameServer(const settings::StationServer &a, const settings::StationServer &b)
{
    return a.host == b.host && a.port == b.port && a.name == b.name && a.user == b.user
           && a.passwordFile == b.passwordFile && a.sslMode == b.sslMode;
}

} // namespace

StationLink::StationLink(const settings::StationServer &server, const QString &laneDb, QObject *parent)
    : StationLink(optionsFor(server, laneDb), parent)
{
}

StationLink::StationLink(const ForwardOptions &options, QObject *parent) : QObject(parent), options(options)
{
    startForwarder();
}

// Out of line: the forwarder's thread is stopped here.
StationLink::~StationLink() = default;

void StationLink::startForwarder()
{
    if (!options.server.enabled())
        return;
    forwarder = std::make_unique<Forwarder>(options);
    connect(forwarder.get(), &Forwarder::synced, this, [this] { show(State::Synced, 0, QString()); });
    connect(forwarder.get(), &Forwarder::pending, this, [this](int count) { show(State::Pending, count, QString()); });
    connect(forwarder.get(), &Forwarder::failed, this,
            [this](const QString &reason) { show(State::Failed, 0, reason); });
    connect(forwarder.get(), &Forwarder::refusalsSeen, this, [this](const QStringList &ids, const QStringList &reasons) {
        const bool changed = ids != refusedIds || reasons != refusedReasons;
        refusedIds = ids;
        refusedReasons = reasons;
        if (changed)
            emit statusChanged(statusText());
    });
    connect(forwarder.get(), &Forwarder::connected, this, [this](bool tls) {
        const bool changed = encrypted != int(tls);
        encrypted = tls;
        if (changed)
            emit statusChanged(statusText());
    });
    forwarder->start();
}

void StationLink::tryNow()
{
    if (forwarder)
        forwarder->tryNow();
}

void StationLink::setServer(const settings::StationServer &server)
{
    if (sameServer(server, options.server) && forwarder) {
        forwarder->tryNow();
        return;
    }
    options.server = server;
    encrypted = -1;
    if (forwarder && server.enabled()) {
        forwarder->setServer(server);
        return;
    }
    forwarder.reset();
    state = State::Unknown;
    refusedIds.clear();
    refusedReasons.clear();
    startForwarder();
    emit statusChanged(statusText());
}

QString StationLink::stateText() const
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

QString StationLink::statusText() const
{
    if (refusedIds.isEmpty() || state == State::Unknown)
        return stateText();
    // What waits for the operator first; synced says nothing more then.
    const QString refused = Forwarder::refusedText(refusedIds.size());
    return state == State::Synced ? refused : refused + tr("，") + stateText();
}

QString StationLink::toolTipText() const
{
    QStringList lines;
    if (!stateText().isEmpty())
        lines << statusText();
    if (encrypted >= 0)
        lines << Forwarder::encryptionText(encrypted);
    for (int i = 0; i < refusedIds.size(); ++i)
        lines << tr("%1：%2").arg(refusedIds.at(i), Forwarder::refusalText(refusedReasons.at(i)));
    return lines.join(QLatin1Char('\n'));
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
