#ifndef CONFIG_SETTINGS_H
#define CONFIG_SETTINGS_H

#include <QString>

#include "meter/freeaccelseries.h"

// The sections [Server] and [FreeAcceleration] of the settings file
// (IniFile); the other sections have headers of their own beside this one.
// Each call opens the file for its one read or write and closes it again.
namespace settings {

// The remembered meter server address, or empty text when there is none.
QString storedServerAddress();

// Remembers ip as the meter server address. Empty text is not stored, so a
// connection made without a known address keeps the file as it is.
void storeServerAddress(const QString &ip);
// Forgets the remembered address: the next start sweeps the network.
void forgetServerAddress();

// The free-acceleration method, section [FreeAcceleration]; R24 while
// nothing is stored, and kept within bounds when the file was edited.
FreeAccelMethod storedFreeAccelMethod();
void storeFreeAccelMethod(const FreeAccelMethod &method);

} // namespace settings

#endif
