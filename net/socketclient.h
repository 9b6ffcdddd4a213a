#ifndef NET_SOCKETCLIENT_H
#define NET_SOCKETCLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

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
// hands them on one by one. Also finds the server on the local subnet.
class SocketClient : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ServerPort = 8899;
    // A host is a meter only if it answers the read-measurement command
    // this soon after accepting the connection.
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

    // Discovery. tryConnectServer blocks for up to 500 ms to connect and
    // 300 ms more for the meter's answer; findServer queues a sweep of the
    // local /24 on the global thread pool and returns at once; the sweep
    // looks up the local address itself and ends with sweepEnded, naming
    // every meter that answered. Sweeps run one after another, never side
    // by side. Nothing here takes a meter the sweep found: whoever decides
    // that a found meter is ours calls announceServer.
    bool tryConnectServer(QString ip);
    static QString getLocalIP();
    void findServer();
    // Whether a sweep is queued or running.
    bool isSweeping() const;
    // Takes ip as the server found: it is what the connection announces,
    // and beforeConnect asks for the connection.
    void announceServer(const QString &ip);
    // Forgets the server taken, so that a connection to another address
    // does not announce it.
    void forgetFoundServer() { link->setServerAddress(QString()); }

    // Tests only: getLocalIP() answers with 'lookup' instead of asking the
    // system, so a sweep stays on loopback. Empty text from 'lookup' means
    // the host has no IPv4 address. An empty function restores the real
    // lookup. Applies to every client of the process.
    static void overrideLocalAddress(std::function<QString()> lookup);
    // Tests only: every probe of a sweep waits 'ms' instead of 50 ms; 0
    // restores the usual wait.
    static void overrideProbeWait(int ms);

    QString serverAddress() const;
    QByteArray receiveBuffer() const { return cutter.buffer(); }
    // Frames from the meter given up for a wrong checksum since the start.
    int droppedFrames() const { return cutter.dropped(); }

signals:
    void findEnableReady(QString ip);
    void sendParsePack(QByteArray temp);
    void beforeConnect(QString strip);
    // The data connection closed or failed, or an attempt failed.
    void connectionLost();
    // A sweep has ended (or found no local address); 'meters' answered,
    // lowest address first.
    void sweepEnded(const QStringList &meters);
    // A frame with a wrong checksum was dropped; 'total' since the start.
    void framesDropped(int total);

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
        QMutex sweepLock;  // held by the sweep that runs
        std::atomic<int> sweeps{0};  // queued or running
    };

    // The sweep task: probes every host of the local /24 at once and
    // announces the lowest that accepted.
    static void scanSubnet(const std::shared_ptr<SweepLink> &sweepLink);

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
    std::shared_ptr<SweepLink> link;
    QString target;
    bool dropping = false;  // our own abort is no lost connection
};

#endif
