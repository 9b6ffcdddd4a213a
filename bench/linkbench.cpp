#include "benchsupport.h"
#include "lane/lanesession.h"
#include "net/serversweep.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"

#include <ctime>
#include <memory>

using namespace bench;

// The sweep, across a veth pair to a namespace of its own; the link mended
// after the simulator's outages.
class LinkBench : public Case
{
    Q_OBJECT

private slots:
    void sweep();
    void outage();

private:
    void printSweepStops();
};

// How soon a sweep stops once its client is destroyed; how long one takes
// to find a server at host 42 or 250, or to give up on an empty subnet.
void LinkBench::sweep()
{
    const auto run = [](const QString &command) { return QProcess::execute("sh", {"-c", command}) == 0; };
    printSweepStops();
    if (QTest::currentTestFailed())
        return;

    QProcess peer;  // holds the far namespace: 10.77.0.1 here, 10.77.0.H there
    peer.start("unshare", {"-n", "sh", "-c", "echo; exec sleep 3600"});
    QVERIFY(peer.waitForReadyRead(5000));
    const QString pid = QString::number(peer.processId()), there = "nsenter -t " + pid + " -n ";
    QVERIFY(run(QStringLiteral("ip link add va type veth peer name vb netns %1 && ip addr add 10.77.0.1/24 dev va"
                               " && ip link set va up && %2 ip link set vb up").arg(pid, there)));
    ServerSweep::overrideLocalAddress([] { return QStringLiteral("10.77.0.1"); });
    for (int host : {42, 250, 0}) {
        const QString address = QStringLiteral("10.77.0.%1").arg(host);
        QProcess sim;
        QVERIFY(run(there + "ip addr flush dev vb" + (host ? " && " + there + "ip addr add " + address + "/24 dev vb" : "")));
        if (host) {
            sim.start("nsenter", {"-t", pid, "-n", OPA_SIM_PATH, "--quiet", "--listen", address});
            QVERIFY(sim.waitForReadyRead(5000));
        }
        QThread::msleep(200);  // the link settles (carrier up, no stale neighbours)
        QString found;
        const QVector<double> ms = timedMs(7, [&](int) {
            ServerSweep sweep;
            QSignalSpy ended(&sweep, &ServerSweep::ended);
            sweep.start();
            ended.wait(30000);
            const QStringList meters = ended.isEmpty() ? QStringList() : ended.at(0).at(0).toStringList();
            found = meters.isEmpty() ? QStringLiteral("nothing") : meters.join(QLatin1Char(','));
        });
        printSpread(QStringLiteral("sweep, server at %1: found %2").arg(host ? address : "no host", found), ms);
        sim.close();
    }
    peer.close();
}

// On loopback, where every probe would wait 10 s for an answer.
void LinkBench::printSweepStops()
{
    sweepFromLoopback();
    ServerSweep::overrideProbeWait(10000);
    QVector<double> stops;
    for (int i = 0; i < 5; ++i) {
        discoverytest::SilentHost everywhere;
        QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
        auto sweep = std::make_unique<ServerSweep>();
        sweep->start();
        QThread::msleep(20);  // the probes start
        stops << timedMs(1, [&](int) { sweep.reset(), QThreadPool::globalInstance()->waitForDone(); });
    }
    printSpread("sweep stopped after it was destroyed", stops);
    ServerSweep::overrideProbeWait(0);
}

// The time from the simulator's return after an outage to the next
// measurement on the form, and the CPU used while it is away: 8 s, so the
// link runs its five tries and one sweep; then 3 s up.
void LinkBench::outage()
{
    QSettings("./set.ini", QSettings::IniFormat).setValue("Server/IP", "127.0.0.1");
    sweepFromLoopback();
    QProcess sim;
    sim.start(OPA_SIM_PATH, {"--quiet", "--outage", "3000:8000"});
    QVERIFY(sim.waitForStarted());
    mainwindow w;
    MainWindowTestAccess(w).setNoticeDelay(3600000);
    w.show();
    QElapsedTimer clock;
    clock.start();
    double awayFrom = 0, cpuFrom = 0, away = 0, cpu = 0;
    qint64 backAt = -1;
    QVector<double> back;
    connect(&sim, &QProcess::readyRead, this, [&] {
        while (sim.canReadLine()) {
            const QByteArray line = sim.readLine();
            const double now = clock.nsecsElapsed() / 1e9, cpuNow = double(std::clock()) / CLOCKS_PER_SEC;
            if (line.contains("outage over")) {
                backAt = clock.elapsed();
                away += now - awayFrom;
                cpu += cpuNow - cpuFrom;
            } else if (line.contains("outage:")) {
                awayFrom = now;
                cpuFrom = cpuNow;
            }
        }
    });
    connect(MainWindowTestAccess(w).session(), &LaneSession::readingTaken, this, [&] {
        if (backAt >= 0)
            back << double(clock.elapsed() - std::exchange(backAt, -1));
    });
    QVERIFY(QTest::qWaitFor([&] { return back.size() == 4; }, 80000));
    printSpread("server back -> measurement shown", back);
    std::printf("CPU while the server was away: %.2f %% of a core\n", 100 * cpu / away);
    sim.close();
}

OPA_TEST_CLASS(LinkBench)
#include "linkbench.moc"
