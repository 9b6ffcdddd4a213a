#ifndef NET_LOCALADDRESS_H
#define NET_LOCALADDRESS_H

#include <QHostAddress>
#include <QList>
#include <QString>

// What the choice of the local address needs to know about one network
// interface.
struct InterfaceAddresses
{
    bool upAndRunning = false;
    QList<QHostAddress> addresses;
};

// Picks the IPv4 address whose /24 the discovery sweep probes: the first
// IPv4 address of the host-name lookup that is not loopback, else the first
// non-loopback IPv4 address of an interface that is up and running, else
// empty text.
QString chooseLocalIPv4(const QList<QHostAddress> &lookup,
                        const QList<InterfaceAddresses> &interfaces);

// The system's answers to both questions above.
QList<QHostAddress> hostNameAddresses();
QList<InterfaceAddresses> systemInterfaces();

#endif
