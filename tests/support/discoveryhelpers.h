#ifndef TESTS_SUPPORT_DISCOVERYHELPERS_H
#define TESTS_SUPPORT_DISCOVERYHELPERS_H

#include <QList>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QStringList>
#include <QTcpServer>

#include <memory>

class NoAcceptListener;
class QTcpSocket;

namespace discoverytest {

// A host that neither accepts nor refuses on the server port: the
// simulator's listener whose queue is full, so the kernel drops every later
// attempt without an answer. Bound to "0.0.0.0" it silences every loopback
// address at once.
class SilentHost
{
public:
    SilentHost();
    ~SilentHost();
    bool open(const QString &address);

private:
    std::unique_ptr<NoAcceptListener> listener;
};

// A meter behind its server on one loopback address: answers every
// read-measurement command with a good reply, or, not answering, only
// accepts. Runs on a thread of its own, as a meter is another machine: the
// discovery step waits for its answer without an event loop. Counts the
// commands each connection brought, so that a sweep's probe (one command)
// tells apart from polling (one after another).
class MeterHost
{
public:
    MeterHost();
    Q_DISABLE_COPY(MeterHost)
    ~MeterHost();
    bool listen(const QString &address, bool answering = true);
    // Stops listening and drops every connection, as a meter switched off.
    void close();
    // Commands received on each connection so far, in the order they came.
    QList<int> commandsPerConnection() const;
    // Commands on connections that brought more than one: a sweep's probe
    // asks once and leaves, polling goes on.
    int polls() const;
    bool waitForPolls(int count, int timeoutMs = 5000) const;

private:
    void take(int connection, QTcpSocket *socket);

    QThread thread;
    QTcpServer *server;  // lives on 'thread', as do its connections
    bool answers = true;
    QList<QPointer<QTcpSocket>> sockets;
    QList<QByteArray> buffers;
    mutable QMutex lock;  // guards 'commands'
    QList<int> commands;
};

inline QString loopback(int host) { return QStringLiteral("127.0.0.%1").arg(host); }

} // namespace discoverytest

#endif
