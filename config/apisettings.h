#ifndef CONFIG_APISETTINGS_H
#define CONFIG_APISETTINGS_H

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Section [Api] of "./set.ini": whether the program serves its WebSocket
// API, where it listens, the token clients must show and the web pages
// (by their origin) that may connect from a browser.
//
//   [Api]
//   Enabled=true
//   Listen=127.0.0.1:8900
//   Token=
//   Origins=http://192.168.1.20:8080, http://display.lane1
namespace settings {

constexpr quint16 DefaultApiPort = 8900;
constexpr int ApiTokenLength = 32;

struct ApiSettings {
    bool enabled = true;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = DefaultApiPort;
    QString token;
    // Browsers name the page's origin in every handshake; no page is let in
    // unless its origin is listed here.
    QStringList origins;
    QString listen;       // Listen as the file has it
    QString listenError;  // why Listen was refused; the API then stays off
};

// Reads "ADDRESS:PORT": an IPv4 literal, or an IPv6 literal in brackets,
// and a port from 1 to 65535. No host names, no blanks.
bool parseApiListen(const QString &text, QHostAddress *address, quint16 *port, QString *error);

// The stored settings. An empty token is replaced by a new one, which is
// stored with the defaults of the keys not yet in the file; when the file
// cannot be written the token stays empty and the log says why.
ApiSettings storedApiSettings();

// Writes the three keys as given; the caller has checked them.
void storeApiSettings(bool enabled, const QString &listen, const QString &token);

// ApiTokenLength hex digits from the system's cryptographic source.
QString newApiToken();

} // namespace settings

#endif
