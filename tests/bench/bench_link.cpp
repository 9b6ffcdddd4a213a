// Figures for the mended link: the time from the meter server's return to
// the next measurement reply on the form, and the program's CPU use while
// the server is away. Prints figures, asserts nothing.
//
// Run it inside a namespace of its own, with the simulator built beside it:
//   unshare -n -i -- sh -c 'ip link set lo up; QT_QPA_PLATFORM=offscreen build/bin/bench_link'

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/windowaccess.h"

namespace {

double cpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });

    // Away for 8 s, so the cycle runs its five tries and one sweep; 3 s up.
    const int cycles = 4;
    QProcess sim;
    sim.start(QStringLiteral(OPA_SIM_PATH), {"--quiet", "--outage", "3000:8000"});
    sim.waitForStarted();

    mainwindow w;
    MainWindowTestAccess(w).setNoticeDelay(3600000);
    w.show();

    QElapsedTimer clock;
    clock.start();
    qint64 backAt = -1;
    double awayWall = 0, awayCpu = 0, wentAt = 0, cpuAt = 0;
    int outages = 0;
    QObject::connect(&sim, &QProcess::readyRead, [&] {
        while (sim.canReadLine()) {
            const QByteArray line = sim.readLine();
            if (line.contains("outage over")) {
                backAt = clock.elapsed();
                awayWall += (clock.nsecsElapsed() / 1e9) - wentAt;
                awayCpu += cpuSeconds() - cpuAt;
            } else if (line.contains("outage:")) {
                wentAt = clock.nsecsElapsed() / 1e9;
                cpuAt = cpuSeconds();
            }
        }
    });
    QObject::connect(&w, &mainwindow::measurementReceived, [&] {
        if (backAt < 0)
            return;
        std::printf("server back -> measurement shown: %lld ms\n", clock.elapsed() - backAt);
        backAt = -1;
        if (++outages == cycles)
            app.quit();
    });
    app.exec();
    std::printf("CPU while the server was away: %.2f %% of a core (%.3f s over %.1f s)\n",
                100 * awayCpu / awayWall, awayCpu, awayWall);
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
