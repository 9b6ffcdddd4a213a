#ifndef API_APIACCESS_H
#define API_APIACCESS_H

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Who may do what through the API.
namespace api {

// Compares in time that depends on the lengths only, so a client cannot
// learn the token a character at a time from how fast it is refused. An
// empty 'expected' matches nothing.
bool tokenMatches(const QString &given, const QString &expected);

// Listening on loopback only lets programs of this machine in, and those may
// take the live messages without the token. On any other address everything
// needs it; the records need it on every address.
bool readingNeedsToken(const QHostAddress &listen);

// Whether a handshake naming 'origin' may go on. Programs send no Origin and
// are let in; a browser always sends its page's origin, and only those in
// 'allowed' are, so that a page from anywhere else cannot reach the lane
// through the browser of the lane's PC. Compared as browsers write an
// origin: scheme and host without case, no path.
bool originAllowed(const QString &origin, const QStringList &allowed);

// Why the API may not listen on 'listen' with 'token', or empty text.
QString listenRefusal(const QHostAddress &listen, const QString &token);

} // namespace api

#endif
