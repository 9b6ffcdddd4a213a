#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

#include "common/console.h"
#include "config/recordsettings.h"
#include "config/stationsettings.h"
#include "recordtool/lanerun.h"
#include "recordtool/recordsjobs.h"
#include "recordtool/recordsoptions.h"

int main(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    // The lane's own settings, where the tool runs in its working folder.
    const RecordsArguments arguments = parseRecordsArguments(raw, settings::storedStationServer(),
                                                             settings::databaseFile());
    // Only the report lays out text, and it draws on a PDF, never on a
    // screen: it always takes the offscreen platform, so a station server
    // without a display, a DISPLAY whose display is gone (which makes Qt
    // abort) or a session's own platform choice cannot stop it. Windows
    // always has its screen, and deployments carry only that platform.
    std::unique_ptr<QCoreApplication> app;
    if (arguments.status == RecordsArguments::Run && arguments.command == RecordsArguments::Report) {
#ifndef Q_OS_WIN
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const int early = commandline::finishEarly(arguments, QStringLiteral("opacimeter-records"), recordsUsage);
    if (early >= 0)
        return early;
    if (arguments.command == RecordsArguments::Lane)
        return runLane();
    return runRecordsCommand(arguments);
}
