#include "support/discoveryhelpers.h"

#include <QString>
#include <QTcpSocket>
#include <QTest>

#include "meter/frames.h"
#include "simulator/noacceptlistener.h"
#include "support/testsupport.h"

namespace discoverytest {

SilentHost::SilentHost() : listener(new NoAcceptListener) {}

SilentHost::~SilentHost() = default;

bool SilentHost::open(const QString &address)
{
    QString error;
    return listener->listen(QHostAddress(address), 8899, &error);
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
