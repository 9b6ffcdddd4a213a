#include "net/socketclient.h"

#include <QDebug>
#include <QMutexLocker>
#include <QStringList>
#include <QTcpSocket>
#include <QThreadPool>
#include <QtConcurrent>

#include "net/localaddress.h"

// Server discovery: the stored address first, else a sweep of the local /24.

namespace {

const int StoredAddressWaitMs = 500;
const int ProbeWaitMs = 50;
// Host number 0 is the network itself; 255 is tried like any other.
const int FirstHost = 1;
const int LastHost = 255;

std::function<QString()> &localAddressOverride()
{
    static std::function<QString()> lookup;
    return lookup;
}

// "a.b.c.d" -> "a.b.c."
QString subnetPrefix(const QString &local)
{
    QStringList fields = local.split(QLatin1Char('.'));
    fields.removeLast();
    return fields.join(QLatin1Char('.')) + QLatin1Char('.');
}

bool probe(const QString &candidate)
{
    QTcpSocket socket;
    socket.connectToHost(candidate, SocketClient::ServerPort, QIODevice::ReadWrite,
                         QAbstractSocket::AnyIPProtocol);
    if (!socket.waitForConnected(ProbeWaitMs))
        return false;
    // Nothing is ever sent on a probe: the meter must not see stray bytes.
    socket.abort();
    return true;
}

} // namespace

void SocketClient::overrideLocalAddress(std::function<QString()> lookup)
{
    localAddressOverride() = std::move(lookup);
}

bool SocketClient::tryConnectServer(QString ip)
{
    qDebug() << "_____" << ip;
    socket->abort();
    // A partial frame of the dropped connection must not be glued to the
    // first bytes of the new one.
    cutter.clear();
    socket->connectToHost(ip, ServerPort, QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    if (socket->waitForConnected(StoredAddressWaitMs))
        return true;
    // The attempt is given up for good: a server that answers late must not
    // bring the data socket up behind the sweep's back.
    socket->abort();
    return false;
}

QString SocketClient::getLocalIP()
{
    if (localAddressOverride())
        return localAddressOverride()();
    return chooseLocalIPv4(hostNameAddresses(), systemInterfaces());
}

void SocketClient::findServer()
{
    const QString local = getLocalIP();
    qDebug() << "+++++localIP:" << local;
    if (!local.contains(QLatin1Char('.')))
        return;
    const QString prefix = subnetPrefix(local);
    const std::shared_ptr<SweepLink> sweepLink = link;
    QtConcurrent::run(QThreadPool::globalInstance(),
                      [sweepLink, prefix] { sweep(sweepLink, prefix); });
}

void SocketClient::scanSubnet(QString prefix)
{
    sweep(link, prefix);
}

void SocketClient::sweep(const std::shared_ptr<SweepLink> &sweepLink, const QString &prefix)
{
    for (int host = FirstHost; host <= LastHost; ++host) {
        if (sweepLink->stopped)
            return;
        const QString candidate = prefix + QString::number(host);
        if (probe(candidate)) {
            sweepLink->setServerAddress(candidate);
            qDebug() << "----------" << sweepLink->serverAddress();
            break;
        }
    }

    // An address an earlier sweep found is announced again, so a sweep that
    // finds nothing this time still brings the data connection back.
    const QString address = sweepLink->serverAddress();
    if (address.isEmpty())
        return;
    QMutexLocker locker(&sweepLink->clientLock);
    if (sweepLink->client)
        emit sweepLink->client->beforeConnect(address);
}
