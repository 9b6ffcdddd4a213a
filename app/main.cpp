#include <QApplication>
#include <QFontDatabase>

#include "app/mainwindow.h"
#include "app/textfit.h"
#include "platform/signalwatcher.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TextFit::mapFormFamily(QFontDatabase().families());
    mainwindow window;
    // A session's end, a service stop or Ctrl+C close the window as a click
    // on its close button does, so the records are kept on the way out.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &window, &QWidget::close);
    window.show();
    return app.exec();
}
