#ifndef SIMULATOR_METERSERVER_H
#define SIMULATOR_METERSERVER_H

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include "net/framecutter.h"
#include "simulator/noacceptlistener.h"
#include "simulator/ptyline.h"
#include "simulator/scenario.h"
#include "simulator/simoptions.h"

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
    quint16 port() const;
    // With --serial: the path the program opens.
    QString serialPath() const { return line ? line->programSide() : QString(); }

    // Partial commands older than this are dropped, like a serial device's
    // gap timeout, so one bad length byte cannot swallow later commands.
    static constexpr int PartialCommandTimeoutMs = 100;
    static constexpr int SplitGapMs = 5;

    // "AFTER_MS:FOR_MS" of --outage.
    static bool parseOutage(const QString &text, int *afterMs, int *forMs);

signals:
    // One line for the console: traffic (unless quiet) and connection events.
    void logLine(const QString &line);

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
    // The client's socket, or the serial line, which never goes away.
    QPointer<QIODevice> client;
    PtyLine *line = nullptr;
    // Commands are at most one data byte today; the partial-command timeout,
    // not the length, guards against a bad length byte here. The program
    // passes a companion's command on without checking its checksum, so the
    // simulated meter does not check one either.
    FrameCutter cutter{Frames::HostStart, Frames::LongestData, FrameCutter::Checksum::Unchecked};
    QTimer partialTimer;
    QTimer pieceTimer;
    QTimer outageTimer;
    quint16 listeningPort = 0;  // kept for listening again after an outage
    bool away = false;
    QByteArray outgoing;
    int replies = 0;
    bool closing = false;
};

#endif
