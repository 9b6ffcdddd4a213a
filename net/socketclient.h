#ifndef NET_SOCKETCLIENT_H
#define NET_SOCKETCLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>

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

    // Discovery.
    bool tryConnectServer(QString ip);
    QString getLocalIP();
    void findServer();
    void scanSubnet(QString prefix);

    // Tests only: getLocalIP() answers with 'lookup' instead of asking the
    // system, so a sweep stays on loopback. An empty function restores the
    // real lookup. Applies to every client of the process.
    static void overrideLocalAddress(std::function<QString()> lookup);

    QString serverAddress() const;
    const QByteArray &receiveBuffer() const { return cutter.buffer(); }

signals:
    void findEnableReady(QString ip);
    void sendParsePack(QByteArray temp);
    void beforeConnect(QString strip);

public slots:
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onSendToServer(QByteArray byte);

private:
    void setServerAddress(const QString &ip);

    QTcpSocket *socket;
    FrameCutter cutter;
    QString serverIP;
    mutable QMutex serverIPLock;  // the sweep writes serverIP from a pool thread
};

#endif
