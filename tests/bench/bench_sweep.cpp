// Figures for the discovery sweep: how long it takes to find a meter server
// at host 42 and at host 250 of the subnet, and to give up on an empty one,
// across a veth pair to a network namespace of its own; and how soon a
// sweep stops once its client is destroyed. Prints figures, asserts nothing.
//
// Run it as root inside a fresh network namespace, which it checks:
//   unshare -n -- build/bin/bench_sweep
// It makes a second namespace (a child process), a veth pair with the
// addresses 10.77.0.1 (here) and 10.77.0.H (there), and a listener there.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "net/socketclient.h"
#include "support/discoveryhelpers.h"

namespace {

bool run(const QString &command)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command}) == 0;
}

// Milliseconds from findServer() to the announcement, or to the sweep's end
// when nothing is found.
double sweepMs(QString *found)
{
    SocketClient client;
    QSignalSpy heard(&client, &SocketClient::beforeConnect);
    QSignalSpy ended(&client, &SocketClient::sweepEnded);
    QElapsedTimer clock;
    clock.start();
    client.findServer();
    ended.wait(30000);
    const double ms = clock.nsecsElapsed() / 1e6;
    *found = heard.isEmpty() ? QStringLiteral("nothing") : heard.at(0).at(0).toString();
    return ms;
}

void report(const char *what, QVector<double> ms)
{
    const double first = ms.first();
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s first %7.1f ms   median %7.1f   min %7.1f   max %7.1f   (%d runs)\n", what,
                first, ms.at(ms.size() / 2), ms.first(), ms.last(), ms.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (app.arguments().size() == 3 && app.arguments().at(1) == QLatin1String("--listen")) {
        QTcpServer server;  // the meter server's stand-in, in the far namespace
        if (!server.listen(QHostAddress(app.arguments().at(2)), SocketClient::ServerPort))
            return 1;
        std::puts("ready");
        std::fflush(stdout);
        return app.exec();
    }
    // Never near a real interface: only loopback may be here.
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces())
        if (!(iface.flags() & QNetworkInterface::IsLoopBack)) {
            std::fprintf(stderr, "run me inside a fresh namespace: unshare -n -- %s\n", argv[0]);
            return 2;
        }

    // The client's prompt stop, on loopback: every probe would wait 10 s.
    run(QStringLiteral("ip link set lo up"));
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
    SocketClient::overrideProbeWait(10000);
    QVector<double> stops;
    for (int i = 0; i < 5; ++i) {
        discoverytest::SilentHost everywhere;
        everywhere.open(QStringLiteral("0.0.0.0"));
        auto client = std::make_unique<SocketClient>();
        client->findServer();
        QThread::msleep(20);  // let the probes start
        QElapsedTimer clock;
        clock.start();
        client.reset();
        QThreadPool::globalInstance()->waitForDone();
        stops << clock.nsecsElapsed() / 1e6;
    }
    report("client destroyed mid-sweep: stop", stops);
    SocketClient::overrideProbeWait(0);

    QProcess peer;  // holds the far namespace
    peer.start(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("sleep"), QStringLiteral("3600")});
    peer.waitForStarted();
    const QString pid = QString::number(peer.processId());
    const QString there = QStringLiteral("nsenter -t %1 -n ").arg(pid);
    QThread::msleep(200);
    if (!run(QStringLiteral("ip link add va type veth peer name vb netns %1 && ip addr add 10.77.0.1/24 dev va"
                            " && ip link set va up && %2 ip link set vb up").arg(pid, there))) {
        std::fprintf(stderr, "cannot make the veth pair\n");
        return 1;
    }
    SocketClient::overrideLocalAddress([] { return QStringLiteral("10.77.0.1"); });

    for (int host : {42, 250, 0}) {
        run(there + QStringLiteral("ip addr flush dev vb"));
        QProcess listener;
        if (host) {
            const QString address = QStringLiteral("10.77.0.%1").arg(host);
            run(there + QStringLiteral("ip addr add %1/24 dev vb").arg(address));
            listener.start(QStringLiteral("nsenter"), {QStringLiteral("-t"), pid, QStringLiteral("-n"),
                                                       app.applicationFilePath(), QStringLiteral("--listen"), address});
            listener.waitForReadyRead(5000);
        }
        QThread::msleep(200);  // the link settles (carrier up, no stale neighbours)
        QVector<double> ms;
        QString found;
        for (int i = 0; i < 7; ++i)
            ms << sweepMs(&found);
        report(qPrintable(host ? QStringLiteral("server at host %1: found").arg(host)
                               : QStringLiteral("empty subnet: given up")), ms);
        std::printf("%34s (announced: %s)\n", "", qPrintable(found));
        listener.kill();
        listener.waitForFinished();
    }
    peer.kill();
    peer.waitForFinished();
    return 0;
}
