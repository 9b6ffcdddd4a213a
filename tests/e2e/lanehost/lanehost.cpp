// The program as main() runs it, with one box or dialog opened once the
// window shows, for the tests that end it by a signal under that box:
//
//   opacimeter-lanehost notice|settings|completion
//
// "notice" is the connection notice, "settings" the settings dialog,
// "completion" the box that says a calibration is done (the meter in
// set.ini answering). Before it opens the box, the program stops a
// free-acceleration series, so one record waits to be kept. It prints
// "open: CLASS" when the box is up.

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "app/programrun.h"
#include "lane/lanesession.h"
#include "support/windowaccess.h"

namespace {

void whenOpen(std::function<bool()> open, std::function<void()> then)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, open, then] {
        if (!open())
            return;
        poll->deleteLater();
        then();
    });
    poll->start(20);
}

void openBox(mainwindow &window, const QString &which)
{
    MainWindowTestAccess access(window);
    access.session()->startTest(FreeAccelMethod::r24());
    access.session()->stopTest();
    if (which == QLatin1String("notice"))
        QTimer::singleShot(0, &window, [&window] { MainWindowTestAccess(window).showConnectionNotice(); });
    else if (which == QLatin1String("settings"))
        window.findChild<QPushButton *>(QStringLiteral("settingsButton"))->click();
    else
        whenOpen([&window] { return MainWindowTestAccess(window).serverConnected(); },
                 [&window] { MainWindowTestAccess(window).ui().adjustButton->click(); });
    whenOpen([] { return QApplication::activeModalWidget() != nullptr; }, [] {
        std::printf("open: %s\n", QApplication::activeModalWidget()->metaObject()->className());
        std::fflush(stdout);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    return runProgram([which](mainwindow &window) { openBox(window, which); });
}
