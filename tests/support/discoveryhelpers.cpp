#include "support/discoveryhelpers.h"

#include <QString>
#include <QTcpSocket>
#include <QTest>

#include "meter/frames.h"
#include "support/testsupport.h"

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

MeterHost::MeterHost() : server(new QTcpServer)
{
    server->moveToThread(&thread);
    thread.start();
}

MeterHost::~MeterHost()
{
    close();
    QMetaObject::invokeMethod(server, [this] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

bool MeterHost::listen(const QString &address, bool answering)
{
    answers = answering;
    bool listening = false;
    QMetaObject::invokeMethod(server, [&] {
        QObject::connect(server, &QTcpServer::newConnection, server, [this] {
            while (QTcpSocket *socket = server->nextPendingConnection()) {
                const int connection = sockets.size();
                sockets << socket;
                buffers << QByteArray();
                QMutexLocker locker(&lock);
                commands << 0;
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, connection, socket] { take(connection, socket); });
            }
        });
        listening = server->listen(QHostAddress(address), 8899);
    }, Qt::BlockingQueuedConnection);
    return listening;
}

void MeterHost::close()
{
    QMetaObject::invokeMethod(server, [this] {
        server->close();
        for (const QPointer<QTcpSocket> &socket : qAsConst(sockets))
            if (socket)
                socket->abort();
    }, Qt::BlockingQueuedConnection);
}

QList<int> MeterHost::commandsPerConnection() const
{
    QMutexLocker locker(&lock);
    return commands;
}

int MeterHost::polls() const
{
    int total = 0;
    for (int count : commandsPerConnection())
        total += count > 1 ? count : 0;
    return total;
}

bool MeterHost::waitForPolls(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return polls() >= count; }, timeoutMs);
}

void MeterHost::take(int connection, QTcpSocket *socket)
{
    QByteArray &buffer = buffers[connection];
    buffer += socket->readAll();
    const QByteArray &command = Frames::readMeasurement();
    while (buffer.size() >= command.size()) {
        const bool poll = buffer.startsWith(command);
        buffer.remove(0, poll ? command.size() : 1);
        if (!poll)
            continue;
        {
            QMutexLocker locker(&lock);
            ++commands[connection];
        }
        if (answers)
            socket->write(testsupport::measurementReply(1234, 100, 300, 25, 30, 2048));
    }
}

} // namespace discoverytest
