#include "net/socketclient.h"

// Server discovery: filled in with the subnet sweep.

namespace {
std::function<QString()> &localAddressOverride()
{
    static std::function<QString()> lookup;
    return lookup;
}
} // namespace

void SocketClient::overrideLocalAddress(std::function<QString()> lookup)
{
    localAddressOverride() = std::move(lookup);
}

bool SocketClient::tryConnectServer(QString ip)
{
    Q_UNUSED(ip);
    return false;
}

QString SocketClient::getLocalIP()
{
    if (localAddressOverride())
        return localAddressOverride()();
    return QString();
}

void SocketClient::findServer()
{
}

void SocketClient::scanSubnet(QString prefix)
{
    Q_UNUSED(prefix);
}
