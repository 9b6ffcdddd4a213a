#include "support/discoveryhelpers.h"

#include <QString>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace discoverytest {

static sockaddr_in serverEndpoint(const QString &address)
{
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(8899);
    inet_pton(AF_INET, address.toLatin1().constData(), &where.sin_addr);
    return where;
}

SilentHost::~SilentHost()
{
    for (int fd : {filler, listener})
        if (fd >= 0)
            ::close(fd);
}

bool SilentHost::open(const QString &address)
{
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where = serverEndpoint(address);
    // The filler needs a concrete address, also when the listener has the wildcard.
    sockaddr_in target = serverEndpoint(address == QLatin1String("0.0.0.0") ? "127.0.0.1" : address);
    filler = ::socket(AF_INET, SOCK_STREAM, 0);
    return ::bind(listener, reinterpret_cast<sockaddr *>(&where), sizeof where) == 0
           && ::listen(listener, 0) == 0
           && ::connect(filler, reinterpret_cast<sockaddr *>(&target), sizeof target) == 0;
}

bool SilentHost::releaseFiller()
{
    const int taken = ::accept(listener, nullptr, nullptr);
    return taken >= 0 && ::close(taken) == 0;
}

} // namespace discoverytest
