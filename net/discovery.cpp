#include "net/socketclient.h"

// Server discovery: filled in with the subnet sweep.

bool SocketClient::tryConnectServer(QString ip)
{
    Q_UNUSED(ip);
    return false;
}

QString SocketClient::getLocalIP()
{
    return QString();
}

void SocketClient::findServer()
{
}

void SocketClient::scanSubnet(QString prefix)
{
    Q_UNUSED(prefix);
}
