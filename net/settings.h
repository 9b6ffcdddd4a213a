#ifndef NET_SETTINGS_H
#define NET_SETTINGS_H

#include <QString>

// The settings file "./set.ini" in the working folder. Each call opens the
// file for its one read or write and closes it again.
namespace settings {

// The remembered meter server address, or empty text when there is none.
QString storedServerAddress();

// Remembers ip as the meter server address. Empty text is not stored, so a
// connection made without a known address keeps the file as it is.
void storeServerAddress(const QString &ip);

} // namespace settings

#endif
