#ifndef TESTS_STATIONRIG_H
#define TESTS_STATIONRIG_H

#include <QObject>
#include <QTest>

#include "station/forwarder.h"

// What a forwarder last reported, heard on the test's thread (the forwarder
// signals from its own).
class StateLog : public QObject
{
    Q_OBJECT
public:
    explicit StateLog(station::Forwarder *forwarder)
    {
        connect(forwarder, &station::Forwarder::synced, this, [this] { state = QStringLiteral("synced"); ++syncs; });
        connect(forwarder, &station::Forwarder::pending, this, [this](int n) { state = QStringLiteral("pending"); count = n; });
        connect(forwarder, &station::Forwarder::failed, this, [this](const QString &why) {
            state = QStringLiteral("failed");
            reason = why;
            ++failures;
        });
    }
    bool waitFor(const QString &wanted, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return state == wanted; }, timeoutMs);
    }

    QString state;
    QString reason;
    int count = -1;
    int syncs = 0;
    int failures = 0;
};

// Forwarding options that retry soon, so outages in tests stay short.
inline station::ForwardOptions quickOptions(const QString &laneDb, const settings::StationServer &server,
                                            int firstRetryMs = 100)
{
    station::ForwardOptions o;
    o.laneDb = laneDb;
    o.server = server;
    o.timeouts.connectS = 2;
    o.firstRetryMs = firstRetryMs;
    o.maxRetryMs = qMax(400, firstRetryMs);
    return o;
}

#endif
