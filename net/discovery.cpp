#include "net/socketclient.h"

#include <QDebug>
#include <QEventLoop>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <vector>

#include "net/localaddress.h"

// Server discovery: the stored address first, else a sweep of the local /24.

namespace {

const int StoredAddressWaitMs = 500;
const int ProbeWaitMs = 50;
// How soon a sweep notices that its client is gone.
const int StopCheckMs = 5;
// Host number 0 is the network itself; 255 is tried like any other.
const int FirstHost = 1;
const int LastHost = 255;

std::atomic<int> probeWaitMs{ProbeWaitMs};

std::function<QString()> &localAddressOverride()
{
    static std::function<QString()> lookup;
    return lookup;
}

// One connection attempt to each host under 'prefix'; 'report' hears how
// each ends, in 'context''s thread.
std::vector<std::unique_ptr<QTcpSocket>> startProbes(const QString &prefix, QObject *context,
                                                     const std::function<void(int host, bool accepted)> &report)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int host = FirstHost; host <= LastHost; ++host) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket *socket = sockets.back().get();
        QObject::connect(socket, &QTcpSocket::connected, context, [report, host] { report(host, true); });
        QObject::connect(socket, socketErrorSignal, context, [report, host] { report(host, false); });
        socket->connectToHost(prefix + QString::number(host), SocketClient::ServerPort,
                              QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    }
    return sockets;
}

// Probes every host under 'prefix' at once, each given ProbeWaitMs, and
// returns the lowest host number that accepted, or 0. A lower host that is
// still pending is waited for, so the choice is the one a probe of one host
// after the other would make. Nothing is ever sent on a probe: the meter
// must not see stray bytes.
int lowestAcceptingHost(const QString &prefix, const std::atomic<bool> &stopped)
{
    enum class Probe { Pending, Accepted, Failed };
    std::vector<Probe> probes(LastHost + 1, Probe::Pending);
    QEventLoop loop;
    bool settled = false;
    int winner = 0;
    const auto settle = [&] {
        if (settled)
            return;
        for (int host = FirstHost; host <= LastHost; ++host) {
            if (probes[host] == Probe::Pending)
                return;
            if (probes[host] == Probe::Accepted) {
                winner = host;
                break;
            }
        }
        settled = true;
        loop.quit();
    };
    const auto fail = [&](int host) {
        if (probes[host] == Probe::Pending)
            probes[host] = Probe::Failed;
    };

    // Declared after everything their handlers touch, so they go first.
    const std::vector<std::unique_ptr<QTcpSocket>> sockets = startProbes(prefix, &loop, [&](int host, bool accepted) {
        if (accepted)
            probes[host] = Probe::Accepted;
        else
            fail(host);
        settle();
    });

    // Every probe gets its full wait, counted from the last one started.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        for (int host = FirstHost; host <= LastHost; ++host)
            fail(host);
        settle();
    });
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
        if (!stopped)
            return;
        winner = 0;
        settled = true;
        loop.quit();
    });
    if (!settled) {
        deadline.start(probeWaitMs);
        stopCheck.start(StopCheckMs);
        loop.exec();
    }

    for (const auto &socket : sockets) {
        socket->disconnect();
        socket->abort();
    }
    return winner;
}

} // namespace

void SocketClient::overrideLocalAddress(std::function<QString()> lookup)
{
    localAddressOverride() = std::move(lookup);
}

void SocketClient::overrideProbeWait(int ms)
{
    probeWaitMs = ms > 0 ? ms : ProbeWaitMs;
}

bool SocketClient::tryConnectServer(QString ip)
{
    qDebug() << "_____" << ip;
    connectToServer(ip);
    if (socket->waitForConnected(StoredAddressWaitMs))
        return true;
    // The attempt is given up for good: a server that answers late must not
    // bring the data socket up behind the sweep's back.
    dropConnection();
    return false;
}

QString SocketClient::getLocalIP()
{
    if (localAddressOverride())
        return localAddressOverride()();
    return chooseLocalIPv4(hostNameAddresses(), systemInterfaces());
}

void SocketClient::findServer()
{
    const std::shared_ptr<SweepLink> sweepLink = link;
    ++sweepLink->sweeps;
    QtConcurrent::run(QThreadPool::globalInstance(), [sweepLink] { scanSubnet(sweepLink); });
}

bool SocketClient::isSweeping() const
{
    return link->sweeps > 0;
}

void SocketClient::scanSubnet(const std::shared_ptr<SweepLink> &sweepLink)
{
    QMutexLocker running(&sweepLink->sweepLock);
    // The name lookup may wait on the network, so it runs here and not on
    // the window's thread.
    const QString local = getLocalIP();
    qDebug() << "+++++localIP:" << local;
    // Without an IPv4 address there is no subnet, and nothing to announce.
    const bool swept = local.contains(QLatin1Char('.'));
    // "a.b.c.d" -> "a.b.c."
    const QString prefix = local.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.');
    const int host = swept && !sweepLink->stopped ? lowestAcceptingHost(prefix, sweepLink->stopped) : 0;
    if (host != 0) {
        sweepLink->setServerAddress(prefix + QString::number(host));
        qDebug() << "----------" << sweepLink->serverAddress();
    }

    // An address an earlier sweep found is announced again, so a sweep that
    // finds nothing this time still brings the data connection back.
    const QString address = swept ? sweepLink->serverAddress() : QString();
    QMutexLocker locker(&sweepLink->clientLock);
    --sweepLink->sweeps;
    if (!sweepLink->client || sweepLink->stopped)
        return;
    if (!address.isEmpty())
        emit sweepLink->client->beforeConnect(address);
    emit sweepLink->client->sweepEnded();
}
