#ifndef NET_SOCKETCLIENT_H
#define NET_SOCKETCLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "net/framecutter.h"

class QTcpSocket;

// The sockets' error signal, under the name the Qt version at hand gives it.
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
inline constexpr auto socketErrorSignal = &QAbstractSocket::errorOccurred;
#else
inline constexpr auto socketErrorSignal =
    QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error);
#endif

// The program's one link to the meter server: owns the data socket, writes
// command frames while connected, cuts what arrives into meter frames and
// hands them on one by one. ServerSweep finds the server on the subnet.
class SocketClient : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ServerPort = 8899;
    // A host is a meter only if it answers the read-measurement command
    // this soon after accepting the connection (here and in a sweep).
    static constexpr int AnswerWaitMs = 300;
    static constexpr int DropLogIntervalMs = 1000;

    explicit SocketClient(QObject *parent = nullptr);
    ~SocketClient() override;

    // Drops whatever the data socket was doing and starts connecting to ip
    // without waiting. Success shows as findEnableReady.
    void connectToServer(QString ip);

    // Cuts every whole frame out of the receive buffer and emits each.
    void parsePack();

    // Drops the connection or the attempt at once, without reporting it as
    // lost: whoever calls this knows.
    void dropConnection();
    // The address of the last connection or attempt.
    QString targetAddress() const { return target; }

    // The first step of discovery: connects to ip and blocks for up to
    // 500 ms for the connection and AnswerWaitMs more for the meter's
    // answer. Whether the meter answered; if not, the attempt is dropped.
    bool tryConnectServer(QString ip);
    // Takes ip as the server found (by a sweep): it is what the connection
    // announces, and beforeConnect asks for the connection.
    void announceServer(const QString &ip);
    // Forgets the server taken, so that a connection to another address
    // does not announce it.
    void forgetFoundServer() { foundServer.clear(); }
    // The server taken, or empty text.
    QString serverAddress() const { return foundServer; }
    // Frames from the meter given up for a wrong checksum since the start.
    int droppedFrames() const { return cutter.dropped(); }

signals:
    void findEnableReady(QString ip);
    void sendParsePack(QByteArray temp);
    void beforeConnect(QString strip);
    // The data connection closed or failed, or an attempt failed.
    void connectionLost();
    // A frame with a wrong checksum was dropped; 'total' since the start.
    void framesDropped(int total);

public slots:
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onSendToServer(QByteArray byte);

private:
    void onDisconnected();
    bool awaitMeasurementReply();
    void noteDropped();
    void logDropped();

    QTcpSocket *socket;
    FrameCutter cutter;
    bool verifying = false;  // the first step waits for the meter's answer
    int measurementReplies = 0;
    int droppedSeen = 0;
    int droppedUnlogged = 0;
    QTimer dropLog;
    QString foundServer;
    QString target;
    bool dropping = false;  // our own abort is no lost connection
};

#endif
