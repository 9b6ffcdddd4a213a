#ifndef CONFIG_UISETTINGS_H
#define CONFIG_UISETTINGS_H

#include <QRect>
#include <QString>

// The [UI] section of "./set.ini": what the operator sees, not what the
// meter or the station reads.
namespace settings {

// "zh" (the default, also for a value the program does not know) or "en",
// from [UI] Language=. 'ok', when given, is false for a value not known.
QString storedLanguage(bool *ok = nullptr);
void storeLanguage(const QString &code);

// Where the history's own window was last, [UI] HistoryWindow=x y width height;
// an empty rectangle when none is kept or the text is not one.
QRect storedHistoryWindow();
void storeHistoryWindow(const QRect &geometry);

} // namespace settings

#endif
