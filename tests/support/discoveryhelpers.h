#ifndef TESTS_DISCOVERY_DISCOVERYHELPERS_H
#define TESTS_DISCOVERY_DISCOVERYHELPERS_H

#include <QString>
#include <QStringList>

namespace discoverytest {

// Keeps every debug line of the process, from any thread, while the tests
// run; the lines are also passed on to the usual output.
class LogCapture
{
public:
    static void install();
    static void clear();
    static QStringList lines();
    // The captured lines that start with 'head', in order.
    static QStringList linesStartingWith(const QString &head);
};

// A host that neither accepts nor refuses on the server port: a listening
// socket with backlog 0 that never accepts, filled by one connection, so the
// kernel drops every later connection attempt without an answer. Bound to
// "0.0.0.0" it silences every loopback address at once.
class SilentHost
{
public:
    SilentHost() = default;
    ~SilentHost();
    SilentHost(const SilentHost &) = delete;
    SilentHost &operator=(const SilentHost &) = delete;

    bool open(const QString &address);
    void close();
    // Takes the filler off the queue, so the next attempt would be accepted.
    bool releaseFiller();
    // Whether an attempt has reached the queue within 'timeoutMs'.
    bool hasPendingConnection(int timeoutMs) const;

private:
    int listener = -1;
    int filler = -1;
};

// "127.0.0." followed by host.
QString loopback(int host);

} // namespace discoverytest

#endif
