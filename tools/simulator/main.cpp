#include <QCoreApplication>

#include "common/console.h"
#include "platform/signalwatcher.h"
#include "simulator/meterserver.h"
#include "simulator/simoptions.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const SimArguments arguments = parseSimArguments(app.arguments());
    const int early = commandline::finishEarly(arguments, QStringLiteral("opacimeter-sim"), simUsage);
    if (early >= 0)
        return early;
    const SimOptions &options = arguments.options;

    QString error;
    std::unique_ptr<Scenario> scenario = makeScenario(options, &error);
    if (!scenario) {
        console::err(QStringLiteral("opacimeter-sim: ") + error);
        return 2;
    }
    const QString description = scenario->description();

    MeterServer server(options, std::move(scenario));
    QObject::connect(&server, &MeterServer::logLine, &console::out);
    if (!server.start(&error)) {
        if (!options.serialPath.isEmpty()) {
            console::err(QStringLiteral("opacimeter-sim: cannot serve the serial line %1: %2")
                             .arg(options.serialPath, error));
            return 1;
        }
        console::err(QStringLiteral("opacimeter-sim: cannot listen on %1:%2: %3")
                         .arg(options.address.toString())
                         .arg(options.port)
                         .arg(error));
        return 1;
    }

    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &app, [&](int number) {
        console::out(QStringLiteral("stopping on signal %1").arg(number));
        server.stop();
        app.quit();
    });

    const QString host = options.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + options.address.toString() + QLatin1Char(']')
                             : options.address.toString();
    if (options.serialPath.isEmpty())
        console::out(QStringLiteral("listening on %1:%2").arg(host).arg(server.port()));
    else
        console::out(QStringLiteral("serial line on %1 (%2)").arg(server.serialPath(), options.serialPath));
    console::out(QStringLiteral("scenario ") + description);
    if (options.noAccept)
        console::out(QStringLiteral("no-accept: connections are neither accepted nor refused"));
    return app.exec();
}
