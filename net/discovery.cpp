#include "net/socketclient.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <vector>

#include "meter/measurement.h"
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

// How one host of a sweep is doing. A host is a meter only once it has
// answered the read-measurement command with a good reply: another
// program's server, or a half-open port, merely accepts.
struct Probe
{
    enum class State { Connecting, Asking, Meter, Failed };
    std::unique_ptr<QTcpSocket> socket = std::make_unique<QTcpSocket>();
    FrameCutter cutter;
    QElapsedTimer asked;
    State state = State::Connecting;

    bool open() const { return state == State::Connecting || state == State::Asking; }
    void fail()
    {
        if (open())
            state = State::Failed;
    }
    void onConnected()
    {
        state = State::Asking;
        asked.start();
        socket->write(Frames::readMeasurement());
    }
    void onReadyRead()
    {
        cutter.append(socket->readAll());
        for (QByteArray frame; state == State::Asking && cutter.next(&frame);)
            if (Measurement::classify(frame) == Measurement::FrameKind::Measurement)
                state = State::Meter;
    }
};

// Starts one probe of each host under 'prefix'; 'changed' hears of every
// step, in 'context''s thread.
std::vector<Probe> startProbes(const QString &prefix, QObject *context, const std::function<void()> &changed)
{
    std::vector<Probe> probes(LastHost + 1);
    for (int host = FirstHost; host <= LastHost; ++host) {
        Probe *probe = &probes[host];
        QTcpSocket *socket = probe->socket.get();
        QObject::connect(socket, &QTcpSocket::connected, context, [probe, changed] {
            probe->onConnected();
            changed();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, context, [probe, changed] {
            probe->onReadyRead();
            changed();
        });
        QObject::connect(socket, socketErrorSignal, context, [probe, changed] {
            probe->fail();
            changed();
        });
        socket->connectToHost(prefix + QString::number(host), SocketClient::ServerPort,
                              QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    }
    return probes;
}

// Probes every host under 'prefix' at once: each must accept within the
// probe wait and answer within AnswerWaitMs of accepting. Returns the
// addresses of those that answered, lowest first.
QStringList answeringMeters(const QString &prefix, const std::atomic<bool> &stopped)
{
    QEventLoop loop;
    std::vector<Probe> probes;
    const auto settle = [&] {
        if (std::none_of(probes.begin(), probes.end(), [](const Probe &p) { return p.open(); }))
            loop.quit();
    };
    probes = startProbes(prefix, &loop, settle);
    probes[0].state = Probe::State::Failed;  // host number 0 is the network itself

    QTimer connectDeadline;
    connectDeadline.setSingleShot(true);
    connectDeadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&connectDeadline, &QTimer::timeout, &loop, [&] {
        for (Probe &probe : probes)
            if (probe.state == Probe::State::Connecting)
                probe.fail();
        settle();
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        for (Probe &probe : probes)
            if (probe.state == Probe::State::Asking && probe.asked.elapsed() > SocketClient::AnswerWaitMs)
                probe.fail();
        if (stopped)
            loop.quit();
        settle();
    });
    connectDeadline.start(probeWaitMs);
    check.start(StopCheckMs);
    loop.exec();

    QStringList meters;
    for (int host = FirstHost; host <= LastHost; ++host) {
        probes[host].socket->disconnect();
        probes[host].socket->abort();
        if (probes[host].state == Probe::State::Meter && !stopped)
            meters << prefix + QString::number(host);
    }
    return meters;
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
    // The connection counts only once the meter has answered; until then
    // nothing of it is announced or handed on.
    verifying = true;
    connectToServer(ip);
    const bool answered = socket->waitForConnected(StoredAddressWaitMs) && awaitMeasurementReply();
    verifying = false;
    if (answered) {
        emit findEnableReady(serverAddress());
        return true;
    }
    // The attempt is given up for good: a server that answers late must not
    // bring the data socket up behind the sweep's back.
    dropConnection();
    return false;
}

bool SocketClient::awaitMeasurementReply()
{
    const int before = measurementReplies;
    socket->write(Frames::readMeasurement());
    socket->flush();
    QElapsedTimer waited;
    waited.start();
    while (measurementReplies == before && waited.elapsed() < AnswerWaitMs
           && socket->waitForReadyRead(int(AnswerWaitMs - waited.elapsed()))) {
    }
    return measurementReplies != before;
}

void SocketClient::announceServer(const QString &ip)
{
    link->setServerAddress(ip);
    qDebug() << "----------" << ip;
    emit beforeConnect(ip);
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
    // Without an IPv4 address there is no subnet.
    const bool swept = local.contains(QLatin1Char('.'));
    // "a.b.c.d" -> "a.b.c."
    const QString prefix = local.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.');
    const QStringList meters = swept && !sweepLink->stopped ? answeringMeters(prefix, sweepLink->stopped)
                                                            : QStringList();
    for (const QString &meter : meters)
        qDebug() << "sweep: a meter answers at" << meter;

    QMutexLocker locker(&sweepLink->clientLock);
    --sweepLink->sweeps;
    if (!sweepLink->client || sweepLink->stopped)
        return;
    emit sweepLink->client->sweepEnded(meters);
}
