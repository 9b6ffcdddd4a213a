#ifndef API_APICLIENT_H
#define API_APICLIENT_H

#include <QString>

#include <deque>

#include "api/apitypes.h"

class QWebSocket;

namespace api {

// One connected client: what it asked for, and what waits to reach it.
// Messages go straight to the socket while its buffer is short; beyond
// that they wait here, readings up to a cap with the oldest dropped first,
// since a newer reading makes an older one worthless. Other messages are
// never dropped, so a client that lets BacklogLimit pile up is closed.
class Client
{
public:
    static constexpr qint64 SocketHighWater = 64 * 1024;
    static constexpr qint64 ReadingQueueLimit = 64 * 1024;
    static constexpr qint64 BacklogLimit = 1024 * 1024;
    // Readings this much early still count as due, so that a poll a little
    // early does not halve a client's rate.
    static constexpr qint64 RateSlackMs = 50;

    explicit Client(QWebSocket *socket);

    QWebSocket *socket() const { return ws; }

    static constexpr int MaxCommandsPerSecond = 20;

    bool authorised = false;  // may take the messages
    bool tokenGiven = false;  // in the URL or with auth: stands for the records' token
    bool tokenSeen = false;   // shown in any way, so the auth time-out is met
    int readsWaiting = 0;     // record reads not yet answered
    bool greeted = false;  // the hello went out
    bool gone = false;     // disconnected; removed soon
    int topics = AllTopics;
    int rate = 0;          // per second; 0: every reading

    bool wants(Topic topic) const { return authorised && !gone && !closing && (topics & int(topic)); }
    // Whether a reading taken at 'monotonicMs' is due at this client's rate;
    // counts it as sent when it is.
    bool readingDue(qint64 monotonicMs);

    // Counts a command taken at 'monotonicMs'; true when it is beyond
    // MaxCommandsPerSecond within the second its first one began.
    bool overRate(qint64 monotonicMs);

    void send(const QString &text, bool reading);
    // Moves waiting messages to the socket while its buffer is short.
    void drain();

    qint64 backlog() const;
    qint64 dropped() const { return droppedReadings; }
    bool closedAsSlow() const { return closing; }

private:
    struct Pending {
        QString text;
        bool reading;
    };

    void dropOldestReading();
    void closeAsSlow();

    QWebSocket *ws;
    std::deque<Pending> queue;
    qint64 queuedBytes = 0;
    qint64 queuedReadingBytes = 0;
    qint64 droppedReadings = 0;
    qint64 lastReadingMs = 0;
    bool anyReading = false;
    bool closing = false;
    qint64 rateSecondStart = 0;
    int commandsThisSecond = 0;
};

} // namespace api

#endif
