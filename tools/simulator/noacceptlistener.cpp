#include "simulator/noacceptlistener.h"

#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

NoAcceptListener::~NoAcceptListener()
{
    close();
}

#ifdef Q_OS_UNIX

namespace {

struct SocketAddress
{
    sockaddr_storage storage = {};
    socklen_t length = 0;
    int family = AF_INET;
};

SocketAddress toSocketAddress(const QHostAddress &address, quint16 port)
{
    SocketAddress a;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&a.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        a.length = sizeof(sockaddr_in6);
        a.family = AF_INET6;
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&a.storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        a.length = sizeof(sockaddr_in);
    }
    return a;
}

// Connects one socket of our own; false once the queue is full and the
// attempt hangs instead of completing.
bool connectFiller(const SocketAddress &target, int *fd)
{
    *fd = ::socket(target.family, SOCK_STREAM, 0);
    if (*fd < 0)
        return false;
    ::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) | O_NONBLOCK);
    if (::connect(*fd, reinterpret_cast<const sockaddr *>(&target.storage), target.length) == 0)
        return true;
    if (errno == EINPROGRESS) {
        // Loopback answers at once when there is room, so a short wait
        // tells "queue full" apart from "not yet".
        pollfd p = {*fd, POLLOUT, 0};
        if (::poll(&p, 1, 300) == 1) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(*fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0)
                return true;
        }
    }
    ::close(*fd);
    *fd = -1;
    return false;
}

} // namespace

bool NoAcceptListener::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    const SocketAddress local = toSocketAddress(address, port);
    listenFd = ::socket(local.family, SOCK_STREAM, 0);
    const int on = 1;
    if (listenFd < 0
        || ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::bind(listenFd, reinterpret_cast<const sockaddr *>(&local.storage), local.length) != 0
        || ::listen(listenFd, 1) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    SocketAddress bound;
    bound.length = sizeof bound.storage;
    ::getsockname(listenFd, reinterpret_cast<sockaddr *>(&bound.storage), &bound.length);
    boundPort = bound.storage.ss_family == AF_INET6
                    ? ntohs(reinterpret_cast<sockaddr_in6 *>(&bound.storage)->sin6_port)
                    : ntohs(reinterpret_cast<sockaddr_in *>(&bound.storage)->sin_port);

    QHostAddress target = address;
    if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4)
        target = QHostAddress(QHostAddress::LocalHost);
    else if (address == QHostAddress::AnyIPv6)
        target = QHostAddress(QHostAddress::LocalHostIPv6);
    const SocketAddress remote = toSocketAddress(target, boundPort);
    for (int i = 0; i < 64; ++i) {
        int fd = -1;
        if (!connectFiller(remote, &fd))
            break;
        fillers.append(fd);
    }
    if (fillers.isEmpty()) {
        *error = QStringLiteral("could not fill the accept queue");
        close();
        return false;
    }
    return true;
}

void NoAcceptListener::close()
{
    for (int fd : fillers)
        ::close(fd);
    fillers.clear();
    if (listenFd >= 0)
        ::close(listenFd);
    listenFd = -1;
    boundPort = 0;
}

#else

bool NoAcceptListener::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    fallback = new QTcpServer;
    if (!fallback->listen(address, port)) {
        *error = fallback->errorString();
        close();
        return false;
    }
    fallback->pauseAccepting();
    boundPort = fallback->serverPort();
    return true;
}

void NoAcceptListener::close()
{
    delete fallback;
    fallback = nullptr;
    boundPort = 0;
}

#endif
