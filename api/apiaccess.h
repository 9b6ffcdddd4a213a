#ifndef API_APIACCESS_H
#define API_APIACCESS_H

#include <QHostAddress>
#include <QString>

// Who may do what through the API.
namespace api {

// Compares in time that depends on the lengths only, so a client cannot
// learn the token a character at a time from how fast it is refused. An
// empty 'expected' matches nothing.
bool tokenMatches(const QString &given, const QString &expected);

// Listening on loopback only lets programs of this machine in, and those may
// read without the token. On any other address everything needs it.
bool readingNeedsToken(const QHostAddress &listen);

// Why the API may not listen on 'listen' with 'token', or empty text.
QString listenRefusal(const QHostAddress &listen, const QString &token);

} // namespace api

#endif
