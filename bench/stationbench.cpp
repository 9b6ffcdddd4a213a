#include <QLocalServer>

#include "benchsupport.h"
#include "config/recordsettings.h"
#include "station/forwarder.h"
#include "station/stationlink.h"
#include "support/pgserver.h"
#include "support/testrunner.h"

using namespace bench;

// Records forwarded to the station's server, and the polling while that
// server is away.
class StationBench : public Case
{
    Q_OBJECT

private slots:
    void stationForward();
    void stationPolling();
};

// 1,000 queued records forwarded to a PostgreSQL of the benchmark's own,
// once with its fsync on (as a station runs it) and once without: through
// the forwarder on its thread, and again (the queue reset) through the
// shutdown script's one-shot sync, which finds every record there already.
void StationBench::stationForward()
{
    const QString missing = testsupport::PgServer::unavailableReason();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    for (bool durable : {true, false}) {
        testsupport::PgServer pg(durable);
        QVERIFY2(pg.start(), qPrintable(pg.errorString()));
        QVERIFY(pg.createDatabase("bench"));
        const QString lane = workDir.filePath(QStringLiteral("lane-%1.sqlite").arg(durable));
        QVERIFY(storeRecords(lane, 1000, [](int i) { return QStringLiteral("京A%1").arg(i, 5, 10, QLatin1Char('0')); }));
        station::ForwardOptions options;
        options.laneDb = lane;
        options.server = pg.settings("bench");
        station::Forwarder forwarder(options);
        bool synced = false;
        connect(&forwarder, &station::Forwarder::synced, this, [&] { synced = true; });
        QElapsedTimer clock;
        clock.start();
        forwarder.start();
        QVERIFY(QTest::qWaitFor([&] { return synced; }, 60000));
        const qint64 forwardMs = clock.elapsed();
        QVERIFY(fixtures::OtherConnection(lane).exec("UPDATE forward_queue SET sent = NULL"));
        clock.restart();
        const station::SyncResult again = station::syncOnce(lane, options.server);
        const qint64 againMs = clock.elapsed();
        QCOMPARE(again.sent, 1000);
        // One record a transaction and a round trip took 4.27 s with fsync on.
        std::printf("station, fsync %s: 1000 records forwarded in %lld ms (%.2f ms each; one at a time: %s); "
                    "sent again (already there) in %lld ms\n",
                    durable ? "on" : "off", forwardMs, forwardMs / 1000.0, durable ? "4270 ms" : "not measured", againMs);
    }
}

// The poll period while the station's server is away: refused at once (no
// socket in its folder) and taking the connection without a word; and with
// no server set, as the machine's own figure to compare them with. The
// window's own link forwards five queued records and is asked to try
// again every 200 ms, as a lane storing records would.
void StationBench::stationPolling()
{
    QTemporaryDir dead, silentDir;
    QLocalServer silent;  // the kernel accepts for it; it never answers
    QVERIFY(silent.listen(silentDir.filePath(QStringLiteral(".s.PGSQL.5432"))));
    QVERIFY(storeRecords(settings::databaseFile(), 5, [](int i) { return QStringLiteral("京B%1").arg(i); }));
    // Without a server first, for the same machine's figure to compare.
    const QPair<QString, QString> hosts[] = {{"none", QString()}, {"unreachable", dead.path()},
                                             {"never answers", silentDir.path()}};
    for (const auto &host : hosts) {
        QSettings ini(QStringLiteral("./set.ini"), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Database/ServerHost"), host.second);
        ini.setValue(QStringLiteral("Database/ServerName"), QStringLiteral("station"));
        ini.sync();
        PolledWindow rig;
        QVERIFY(rig.show());
        auto *link = rig.w.findChild<station::StationLink *>();
        QVERIFY(link && link->isActive() == !host.second.isEmpty());
        QTimer asks;
        connect(&asks, &QTimer::timeout, link, &station::StationLink::tryNow);
        asks.start(200);
        rig.printPeriods(QStringLiteral("station server %1").arg(host.first));
        std::printf("  header: %s\n", qPrintable(link->statusText()));
    }
}

OPA_TEST_CLASS(StationBench)
#include "stationbench.moc"
