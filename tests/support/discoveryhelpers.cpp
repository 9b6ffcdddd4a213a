#include "support/discoveryhelpers.h"

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace discoverytest {

namespace {

QMutex &logLock()
{
    static QMutex lock;
    return lock;
}

QStringList &logLines()
{
    static QStringList lines;
    return lines;
}

QtMessageHandler previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker locker(&logLock());
        logLines().append(message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

sockaddr_in endpoint(const QString &address, quint16 port)
{
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    inet_pton(AF_INET, address.toLatin1().constData(), &where.sin_addr);
    return where;
}

} // namespace

void LogCapture::install()
{
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(capture);
}

void LogCapture::clear()
{
    QMutexLocker locker(&logLock());
    logLines().clear();
}

QStringList LogCapture::lines()
{
    QMutexLocker locker(&logLock());
    return logLines();
}

QStringList LogCapture::linesStartingWith(const QString &head)
{
    QStringList result;
    for (const QString &line : lines())
        if (line.startsWith(head))
            result.append(line);
    return result;
}

SilentHost::~SilentHost()
{
    close();
}

bool SilentHost::open(const QString &address)
{
    close();
    const quint16 port = 8899;
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where = endpoint(address, port);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0
        || ::listen(listener, 0) != 0) {
        close();
        return false;
    }
    // The filler reaches the listener through a concrete address, also when
    // the listener is bound to the wildcard.
    sockaddr_in target = endpoint(address == QLatin1String("0.0.0.0")
                                      ? QStringLiteral("127.0.0.1") : address, port);
    filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(filler, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
        close();
        return false;
    }
    return true;
}

void SilentHost::close()
{
    if (filler >= 0)
        ::close(filler);
    if (listener >= 0)
        ::close(listener);
    filler = listener = -1;
}

bool SilentHost::releaseFiller()
{
    const int taken = ::accept(listener, nullptr, nullptr);
    if (taken < 0)
        return false;
    ::close(taken);
    return true;
}

bool SilentHost::hasPendingConnection(int timeoutMs) const
{
    pollfd watch = {listener, POLLIN, 0};
    return ::poll(&watch, 1, timeoutMs) > 0;
}

QString loopback(int host)
{
    return QStringLiteral("127.0.0.") + QString::number(host);
}

} // namespace discoverytest
