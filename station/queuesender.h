#ifndef STATION_QUEUESENDER_H
#define STATION_QUEUESENDER_H

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

#include "config/stationsettings.h"
#include "records/forwardqueue.h"
#include "station/serverdb.h"

namespace station {

// Sends a lane database's queued records to the station server, oldest
// first, and marks each one the server committed. Both connections belong
// to the thread that uses the sender, under names of their own; the server
// connection is dropped after any failure and opened anew at the next try.
class QueueSender
{
public:
    struct Outcome
    {
        int sent = 0;
        int remaining = -1;  // -1 when the lane database could not be read
        QString error;       // empty when every queued record went out
    };
    // A record set aside: the station refused it for good, or holds another
    // record under its id.
    struct Refusal
    {
        QString recordId;
        QString reason;  // the server's words, or DiffersText
        bool differs() const { return reason == QString::fromUtf8(DiffersText); }
    };
    // The reason kept for a record the server holds otherwise, in the
    // program's own words (translated where shown).
    static constexpr const char *DiffersText = QT_TRANSLATE_NOOP("station::Forwarder", "站端记录与本机不一致");

    QueueSender(const QString &laneDb, const settings::StationServer &server,
                const ServerTimeouts &timeouts = {});
    ~QueueSender();
    QueueSender(const QueueSender &) = delete;
    QueueSender &operator=(const QueueSender &) = delete;

    // Sends in batches until the queue is empty, the server or the
    // connection fails, or 'keepGoing' says stop; a record refused for good
    // is set aside and the ones after it go on. The server is only contacted
    // while records wait.
    Outcome sendPending(const std::function<bool()> &keepGoing = {});
    // Records still waiting (not those set aside), -1 with 'error' set when
    // the lane database cannot be read.
    int pendingCount(QString *error);
    // The records set aside, oldest first; empty with 'error' set when the
    // lane database cannot be read.
    QVector<Refusal> refusals(QString *error);
    // Queues the records set aside again; how many, -1 on failure.
    int requeueRefused(QString *error);
    // Connects to the server unless connected; false with 'error' set when
    // it cannot be reached.
    bool checkServer(QString *error) { return openServer(error); }
    // Whether the last connection made was encrypted.
    bool isEncrypted() const { return encrypted; }

private:
    using Queued = ForwardQueue::Waiting;

    bool openLane(QString *error);
    bool openServer(QString *error);
    void dropServer();
    bool readBatch(QList<Queued> *batch, QString *error);
    bool sendBatch(const QList<Queued> &batch, const std::function<bool()> &keepGoing, Outcome *out);
    bool settle(const QList<Queued> &batch, const QVector<Arrival> &arrivals, Outcome *out);
    bool setAside(const QString &recordId, const QString &reason, QString *error);
    void noteError(const QString &recordId, const QString &reason);
    bool sameFile();

    QString laneDb;
    settings::StationServer server;
    ServerTimeouts timeouts;
    QString laneName;
    QString serverName;
    quint64 laneFileId = 0;  // the file the lane connection has open
    bool encrypted = false;
};

} // namespace station

#endif
