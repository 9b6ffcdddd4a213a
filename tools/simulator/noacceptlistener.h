#ifndef SIMULATOR_NOACCEPTLISTENER_H
#define SIMULATOR_NOACCEPTLISTENER_H

#include <QHostAddress>
#include <QString>
#include <QVector>

class QTcpServer;

// A listening socket whose accept queue is kept full by connections of our
// own, so that a client's connection attempt is neither accepted nor
// refused: its SYN goes unanswered, as with a server whose backlog is full.
// Where the platform refuses instead of dropping (Windows), connections are
// completed by the system but never served.
class NoAcceptListener
{
public:
    NoAcceptListener() = default;
    ~NoAcceptListener();
    NoAcceptListener(const NoAcceptListener &) = delete;
    NoAcceptListener &operator=(const NoAcceptListener &) = delete;

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void close();
    quint16 port() const { return boundPort; }
    int fillerCount() const { return fillers.size(); }

private:
    int listenFd = -1;
    QVector<int> fillers;
    quint16 boundPort = 0;
    QTcpServer *fallback = nullptr;
};

#endif
