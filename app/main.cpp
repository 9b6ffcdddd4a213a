#include <QApplication>
#include <QFontDatabase>

#include "app/language.h"
#include "app/mainwindow.h"
#include "app/textfit.h"
#include "config/uisettings.h"
#include "platform/signalwatcher.h"

int main(int argc, char *argv[])
{
    TextFit::scaleWithScreen();
    QApplication app(argc, argv);
    TextFit::useFormFamily(QFontDatabase().families());
    Language::switchTo(settings::storedLanguage());
    // A session's end, a service stop or Ctrl+C close the window as a click
    // on its close button does, so the records are kept on the way out; one
    // that comes while the window is being made waits for the event loop.
    SignalWatcher watcher;
    mainwindow window;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &window, &QWidget::close);
    window.startApi();
    window.show();
    return app.exec();
}
