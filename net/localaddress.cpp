#include "net/localaddress.h"

#include <QAbstractSocket>
#include <QHostInfo>
#include <QNetworkInterface>

namespace {

// Debian and many other systems map the host's own name to 127.0.1.1 or
// 127.0.0.1; sweeping that /24 would never reach a meter on the LAN.
bool usable(const QHostAddress &address)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback();
}

} // namespace

QString chooseLocalIPv4(const QList<QHostAddress> &lookup,
                        const QList<InterfaceAddresses> &interfaces)
{
    for (const QHostAddress &address : lookup)
        if (usable(address))
            return address.toString();
    for (const InterfaceAddresses &iface : interfaces) {
        if (!iface.upAndRunning)
            continue;
        for (const QHostAddress &address : iface.addresses)
            if (usable(address))
                return address.toString();
    }
    return QString();
}

QList<QHostAddress> hostNameAddresses()
{
    // A failed lookup has no addresses, which is all the choice needs to know.
    return QHostInfo::fromName(QHostInfo::localHostName()).addresses();
}

QList<InterfaceAddresses> systemInterfaces()
{
    QList<InterfaceAddresses> result;
    const auto running = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces()) {
        InterfaceAddresses entry;
        entry.upAndRunning = (iface.flags() & running) == running;
        for (const QNetworkAddressEntry &address : iface.addressEntries())
            entry.addresses.append(address.ip());
        result.append(entry);
    }
    return result;
}
