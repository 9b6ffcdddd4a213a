#ifndef STATION_QUEUESENDER_H
#define STATION_QUEUESENDER_H

#include <QString>
#include <QStringList>

#include <functional>

#include "config/stationsettings.h"
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

    QueueSender(const QString &laneDb, const settings::StationServer &server,
                const ServerTimeouts &timeouts = {});
    ~QueueSender();
    QueueSender(const QueueSender &) = delete;
    QueueSender &operator=(const QueueSender &) = delete;

    // Sends until the queue is empty, a record fails or 'keepGoing' says
    // stop. The server is only contacted while records wait.
    Outcome sendPending(const std::function<bool()> &keepGoing = {});
    // Records still waiting, -1 with 'error' set when the lane database
    // cannot be read.
    int pendingCount(QString *error);

private:
    struct Queued
    {
        QString recordId;
        QByteArray json;
    };

    bool openLane(QString *error);
    bool openServer(QString *error);
    void dropServer();
    bool readBatch(QList<Queued> *batch, QString *error);
    bool markSent(const QStringList &recordIds, QString *error);
    void noteError(const QString &recordId, const QString &reason);

    QString laneDb;
    settings::StationServer server;
    ServerTimeouts timeouts;
    QString laneName;
    QString serverName;
};

} // namespace station

#endif
