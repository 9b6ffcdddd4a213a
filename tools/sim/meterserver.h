#ifndef SIM_METERSERVER_H
#define SIM_METERSERVER_H

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include "net/framecutter.h"
#include "sim/noacceptlistener.h"
#include "sim/scenario.h"
#include "sim/simoptions.h"

// The simulated meter behind its network server: serves one client at a
// time (later ones wait in the backlog until it leaves), answers the
// program's commands from the scenario, and applies the fault options.
class MeterServer : public QObject
{
    Q_OBJECT
public:
    MeterServer(const SimOptions &options, std::unique_ptr<Scenario> scenario,
                QObject *parent = nullptr);
    ~MeterServer() override;

    bool start(QString *error);
    void stop();
    QHostAddress address() const { return options.address; }
    quint16 port() const;

    // Tests stretch the gap between pieces so that each is seen apart.
    void setSplitGapMs(int ms) { splitGapMs = ms; }
    // Partial commands older than this are dropped, like a serial device's
    // gap timeout, so one bad length byte cannot swallow later commands.
    static constexpr int PartialCommandTimeoutMs = 100;

    bool hasClient() const { return client != nullptr; }

    // "AFTER_MS:FOR_MS" of --outage.
    static bool parseOutage(const QString &text, int *afterMs, int *forMs);

signals:
    // One line for the console: traffic (unless quiet) and connection events.
    void logLine(const QString &line);
    void clientConnected();
    void clientDisconnected();
    void commandReceived(const QByteArray &command);
    void replySent(const QByteArray &frame);

private:
    void takeNextClient();
    void readCommands();
    void onDisconnected();
    void dropPartialCommand();
    void handle(const QByteArray &command);
    void sendReply(const QByteArray &frame);
    void writeNextPiece();
    void closeAfterLastReply();
    void toggleOutage();
    void note(const QString &text);
    void traffic(const QString &text);

    SimOptions options;
    std::unique_ptr<Scenario> scenario;
    QElapsedTimer clock;
    QTcpServer server;
    NoAcceptListener noAccept;
    QPointer<QTcpSocket> client;
    FrameCutter cutter{Frames::HostStart};
    QTimer partialTimer;
    QTimer pieceTimer;
    QTimer outageTimer;
    quint16 listeningPort = 0;  // kept for listening again after an outage
    bool away = false;
    QByteArray outgoing;
    int splitGapMs = 5;
    int replies = 0;
    bool closing = false;
};

#endif
