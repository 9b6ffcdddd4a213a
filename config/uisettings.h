#ifndef CONFIG_UISETTINGS_H
#define CONFIG_UISETTINGS_H

#include <QString>

// The language of the window, section [UI] of "./set.ini":
//
//   [UI]
//   Language=zh           zh or en
namespace settings {

// "zh" while nothing is stored.
QString storedLanguage();
void storeLanguage(const QString &language);

} // namespace settings

#endif
