#ifndef NET_SOCKETCLIENT_H
#define NET_SOCKETCLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "net/framecutter.h"

class QTcpSocket;

// The program's one link to the meter server: owns the data socket, writes
// command frames while connected, cuts what arrives into meter frames and
// hands them on one by one. Also finds the server on the local subnet.
class SocketClient : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ServerPort = 8899;

    explicit SocketClient(QObject *parent = nullptr);
    ~SocketClient() override;

    // Drops whatever the data socket was doing and starts connecting to ip
    // without waiting. Success shows as findEnableReady.
    void connectToServer(QString ip);

    // Cuts every whole frame out of the receive buffer and emits each.
    void parsePack();

    // Discovery. tryConnectServer blocks for up to 500 ms; findServer
    // starts the sweep of the local /24 on the global thread pool and
    // returns at once; scanSubnet is that sweep, run on the calling thread.
    bool tryConnectServer(QString ip);
    QString getLocalIP();
    void findServer();
    void scanSubnet(QString prefix);

    // Tests only: getLocalIP() answers with 'lookup' instead of asking the
    // system, so a sweep stays on loopback. Empty text from 'lookup' means
    // the host has no IPv4 address. An empty function restores the real
    // lookup. Applies to every client of the process.
    static void overrideLocalAddress(std::function<QString()> lookup);

    QString serverAddress() const;
    QByteArray receiveBuffer() const { return cutter.buffer(); }

signals:
    void findEnableReady(QString ip);
    void sendParsePack(QByteArray temp);
    void beforeConnect(QString strip);

public slots:
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onSendToServer(QByteArray byte);

private:
    // What a sweep on a pool thread shares with the client. Each sweep holds
    // its own reference, so it never reaches into a destroyed client: the
    // destructor raises 'stopped' and clears 'client', and a sweep announces
    // its result only through 'client' while holding 'clientLock'.
    struct SweepLink
    {
        QString serverAddress() const;
        void setServerAddress(const QString &ip);

        mutable QMutex addressLock;  // overlapping sweeps and the GUI thread
        QString serverIP;
        QMutex clientLock;
        SocketClient *client = nullptr;
        std::atomic<bool> stopped{false};
    };

    static void sweep(const std::shared_ptr<SweepLink> &sweepLink, const QString &prefix);

    QTcpSocket *socket;
    FrameCutter cutter;
    std::shared_ptr<SweepLink> link;
};

#endif
