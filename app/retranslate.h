#ifndef APP_RETRANSLATE_H
#define APP_RETRANSLATE_H

#include <QString>

#include <functional>

class QWidget;

// Texts that depend on the language and on what the program shows: set
// now and made again on every QEvent::LanguageChange the widget receives,
// so that pages need not remember which text each widget holds.
namespace Retranslate {

// Sets the widget's property ("text", "placeholderText", "windowTitle", ...)
// to make() now and after each language change. Following the same
// property again replaces the earlier maker.
void follow(QWidget *widget, const char *property, std::function<QString()> make);

inline void text(QWidget *widget, std::function<QString()> make)
{
    follow(widget, "text", std::move(make));
}

} // namespace Retranslate

#endif
