#ifndef LANGUAGE_LANGUAGE_H
#define LANGUAGE_LANGUAGE_H

#include <QString>

// The language of the window. Chinese is the source text of every tr() and
// needs no translator; English comes from the translation embedded in the
// program (language/opacimeter_en.ts). Switching sends every widget a
// QEvent::LanguageChange, on which each one sets its texts again.
namespace Language {

// "zh" or "en". Chinese brings Qt's own Chinese texts (buttons, file and
// print dialogs) when the system has them. Installs or removes the translator and lets every widget
// retranslate before it returns. False, and nothing changes, for a code
// the program has no translation for.
bool switchTo(const QString &code);

// The language shown now.
QString current();

} // namespace Language

#endif
