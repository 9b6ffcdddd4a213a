#include "app/programrun.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

#include "language/language.h"
#include "app/mainwindow.h"
#include "app/textfit.h"
#include "config/uisettings.h"
#include "platform/signalwatcher.h"

namespace {

void closeOne(QWidget *widget)
{
    // A message box without an escape button ignores close(); reject()
    // ends any dialog's own event loop.
    if (auto *dialog = qobject_cast<QDialog *>(widget))
        dialog->reject();
    else
        widget->close();
}

} // namespace

int runProgram(const std::function<void(mainwindow &)> &shown)
{
    TextFit::useFormFamily();
    Language::switchTo(settings::storedLanguage());
    // A session's end, a service stop or Ctrl+C end the program as a click
    // on the window's close button does, whatever box is open, so the
    // records are kept on the way out; one that comes while the window is
    // being made waits for the event loop.
    SignalWatcher watcher;
    mainwindow window;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &window, [&window] { endProgram(&window); });
    // The API, the records database and the station link come after the first poll.
    window.startApiWithServices();
    window.show();
    if (shown)
        shown(window);
    return QApplication::exec();
}

void endProgram(QWidget *window)
{
    // A box that will not close must not hold the loop: each one is tried once.
    QWidget *tried = nullptr;
    for (QWidget *modal = QApplication::activeModalWidget(); modal && modal != tried;
         modal = QApplication::activeModalWidget()) {
        tried = modal;
        closeOne(modal);
    }
    QList<QPointer<QWidget>> others;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != window && widget->isVisible())
            others << widget;
    for (const QPointer<QWidget> &widget : others)
        if (widget)
            closeOne(widget);
    window->close();
    // Any loop still running (a box's, a dialog's) returns, and no new one
    // starts, until the program's own has.
    QCoreApplication::quit();
}
