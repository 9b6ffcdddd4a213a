#include "net/serversweep.h"

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
#include "net/socketclient.h"

namespace {

const int ProbeWaitMs = 50;
// How soon a sweep notices that its ServerSweep is gone.
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

ServerSweep::ServerSweep(QObject *parent)
    : QObject(parent), shared(std::make_shared<Shared>())
{
    shared->owner = this;
}

ServerSweep::~ServerSweep()
{
    // A running sweep stops within a few milliseconds; one that is
    // announcing its result right now finishes that first.
    shared->stopped = true;
    QMutexLocker locker(&shared->ownerLock);
    shared->owner = nullptr;
}

void ServerSweep::overrideLocalAddress(std::function<QString()> lookup)
{
    localAddressOverride() = std::move(lookup);
}

void ServerSweep::overrideProbeWait(int ms)
{
    probeWaitMs = ms > 0 ? ms : ProbeWaitMs;
}

QString ServerSweep::localAddress()
{
    if (localAddressOverride())
        return localAddressOverride()();
    return chooseLocalIPv4(hostNameAddresses(), systemInterfaces());
}

void ServerSweep::start()
{
    const std::shared_ptr<Shared> sweep = shared;
    ++sweep->queued;
    QtConcurrent::run(QThreadPool::globalInstance(), [sweep] { run(sweep); });
}

bool ServerSweep::isSweeping() const
{
    return shared->queued > 0;
}

void ServerSweep::run(const std::shared_ptr<Shared> &shared)
{
    QMutexLocker running(&shared->runLock);
    // The name lookup may wait on the network, so it runs here and not on
    // the window's thread.
    const QString local = localAddress();
    qDebug() << "+++++localIP:" << local;
    // Without an IPv4 address there is no subnet.
    const bool swept = local.contains(QLatin1Char('.'));
    // "a.b.c.d" -> "a.b.c."
    const QString prefix = local.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.');
    const QStringList meters = swept && !shared->stopped ? answeringMeters(prefix, shared->stopped)
                                                         : QStringList();
    for (const QString &meter : meters)
        qDebug() << "sweep: a meter answers at" << meter;

    QMutexLocker locker(&shared->ownerLock);
    --shared->queued;
    if (!shared->owner || shared->stopped)
        return;
    emit shared->owner->ended(meters);
}
