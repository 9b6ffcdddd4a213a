#include "platform/signalwatcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int wakePipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    // Only async-signal-safe calls here; a full pipe just loses a duplicate.
    const ssize_t written = ::write(wakePipe[1], &byte, 1);
    (void)written;
}

void install(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}
#else
std::atomic<int> pendingSignal{0};

void onSignal(int signalNumber)
{
    pendingSignal.store(signalNumber);
}
#endif

} // namespace

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::pipe(wakePipe) == 0) {
        for (int fd : wakePipe)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &SignalWatcher::drain);
        install(onSignal);
    }
#else
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    poller = new QTimer(this);
    connect(poller, &QTimer::timeout, this, &SignalWatcher::drain);
    poller->start(50);
#endif
}

SignalWatcher::~SignalWatcher()
{
#ifdef Q_OS_UNIX
    if (notifier) {
        install(SIG_DFL);
        delete notifier;
        for (int &fd : wakePipe) {
            ::close(fd);
            fd = -1;
        }
    }
#else
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#endif
}

void SignalWatcher::drain()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    int last = 0;
    while (::read(wakePipe[0], &byte, 1) == 1)
        last = static_cast<unsigned char>(byte);
    if (last)
        emit terminationRequested(last);
#else
    if (const int signalNumber = pendingSignal.exchange(0))
        emit terminationRequested(signalNumber);
#endif
}
