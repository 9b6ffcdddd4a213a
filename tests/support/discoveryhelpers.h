#ifndef TESTS_SUPPORT_DISCOVERYHELPERS_H
#define TESTS_SUPPORT_DISCOVERYHELPERS_H

#include <QStringList>

namespace discoverytest {

// A host that neither accepts nor refuses on the server port: a listener
// with backlog 0 that never accepts, filled by one connection of its own, so
// the kernel drops every later attempt without an answer. Bound to
// "0.0.0.0" it silences every loopback address at once.
class SilentHost
{
public:
    SilentHost() = default;
    Q_DISABLE_COPY(SilentHost)
    ~SilentHost();
    bool open(const QString &address);
    // Takes the filling connection off the queue, so the next attempt is
    // accepted by the kernel (and still never by us).
    bool releaseFiller();

private:
    int listener = -1;
    int filler = -1;
};

inline QString loopback(int host) { return QStringLiteral("127.0.0.%1").arg(host); }

} // namespace discoverytest

#endif
