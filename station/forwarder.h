#ifndef STATION_FORWARDER_H
#define STATION_FORWARDER_H

#include <QAtomicInt>
#include <QObject>
#include <QThread>

#include <map>
#include <memory>

#include "config/stationsettings.h"
#include "station/serverdb.h"

class QTimer;

namespace station {

class QueueSender;

struct ForwardOptions
{
    QString laneDb;
    settings::StationServer server;
    ServerTimeouts timeouts;
    int firstRetryMs = 1000;   // doubled after each failure in a row ...
    int maxRetryMs = 60000;    // ... up to this
    // A look at the lane's own queue while nothing happens, so records that
    // another program stored go out without being asked for; the server is
    // contacted only when records wait.
    int idlePollMs = 5000;
};

// Forwards the lane's queued records to the station server from a thread of
// its own, so neither a slow nor a dead server ever holds up the window.
// Made and destroyed on one thread (the window's); after start() the object
// lives on its own thread, and its signals arrive queued.
class Forwarder : public QObject
{
    Q_OBJECT

public:
    explicit Forwarder(const ForwardOptions &options);
    ~Forwarder() override;

    void start();
    // Another try at once, e.g. after a record was stored or the lane's
    // database was moved aside; callable from any thread.
    void tryNow();
    // Another server from now on, connected to at once; callable from any
    // thread.
    void setServer(const settings::StationServer &server);

    // The pause before the next try after 'failures' failed ones in a row.
    static int retryDelayMs(int failures, int firstMs, int maxMs);

    // The header strip's texts for the three states.
    static QString syncedText();
    static QString pendingText(int count);
    static QString failedText(const QString &reason);
    static QString refusedText(int count);
    // A set-aside record's reason as the window shows it.
    static QString refusalText(const QString &reason);
    static QString encryptionText(bool encrypted);

signals:
    void synced();
    void pending(int count);
    void failed(const QString &reason);
    // The records set aside (refused for good, or held otherwise by the
    // server), after every look at the queue.
    void refusalsSeen(const QStringList &recordIds, const QStringList &reasons);
    // After each connection to the server.
    void connected(bool encrypted);

private:
    void begin();
    void runPass();
    bool sendLane(QueueSender *from, QString *error, int *remaining);
    bool drainMovedAside(QString *error);
    void report();
    void finish();

    ForwardOptions options;
    QThread worker;
    QThread *home = nullptr;
    QueueSender *sender = nullptr;  // lives on the worker
    QTimer *timer = nullptr;        // lives on the worker
    QAtomicInt tryQueued;
    int failures = 0;
    // Connect at the next pass even when nothing waits: at start and after
    // the server changed, so the strip shows whether it is reachable.
    bool probe = true;
    // The lane's databases moved aside, by path: their unsent records go out
    // too; null once one has nothing left or cannot be read.
    std::map<QString, std::unique_ptr<QueueSender>> movedAside;
};

struct SyncResult
{
    int sent = 0;
    int remaining = -1;  // -1 when the lane database could not be read
    QString error;
    QStringList refusedIds;      // set aside, oldest first ...
    QStringList refusedReasons;  // ... and why
};

// Forwards what is queued once, on the calling thread, for a lane PC's
// shutdown script; 'retryRefused' queues the records set aside again first.
// Databases of the lane moved aside send their unsent records too.
SyncResult syncOnce(const QString &laneDb, const settings::StationServer &server,
                    const ServerTimeouts &timeouts = {}, bool retryRefused = false);

// The lane's databases moved aside (found corrupt), oldest first.
QStringList movedAsideFiles(const QString &laneDb);

} // namespace station

#endif
