#include <QCoreApplication>
#include <QFile>

#include "common/console.h"
#include "common/signalwatcher.h"
#include "companion/companionjobs.h"
#include "companion/recordtext.h"
#include "companion/segments.h"
#include "companion/shmoptions.h"

namespace {

int send(QCoreApplication &app, const ShmArguments &arguments)
{
    CommandSender sender(arguments.bytes, arguments.timeoutMs);
    SignalWatcher watcher;
    QObject::connect(&sender, &CommandSender::message, &console::out);
    QObject::connect(&sender, &CommandSender::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &sender,
                     &CommandSender::withdraw);
    sender.start();
    app.exec();
    return sender.outcome() == CommandSender::Taken ? 0 : 1;
}

int log(QCoreApplication &app, const ShmArguments &arguments)
{
    // Unbuffered, so that a logger stopped by a signal leaves whole lines.
    QFile out;
    const bool opened = arguments.csvPath.isEmpty()
                            ? out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered)
                            : (out.setFileName(arguments.csvPath),
                               out.open(QIODevice::WriteOnly | QIODevice::Truncate
                                        | QIODevice::Unbuffered));
    if (!opened) {
        console::err(QStringLiteral("opacimeter-shm: log: cannot write %1: %2")
                         .arg(arguments.csvPath, out.errorString()));
        return 1;
    }
    MeasurementLogger logger(arguments.rateHz, arguments.count, &out);
    SignalWatcher watcher;
    QObject::connect(&logger, &MeasurementLogger::notice, &console::err);
    QObject::connect(&logger, &MeasurementLogger::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &app, [&] {
        logger.stop();
        app.quit();
    });
    QString error;
    if (!logger.start(&error)) {
        console::err(QStringLiteral("opacimeter-shm: log: cannot place a request: ") + error);
        return 1;
    }
    app.exec();
    logger.stop();
    if (!arguments.csvPath.isEmpty())
        console::err(QStringLiteral("logged %1 measurements to %2").arg(logger.lines())
                         .arg(arguments.csvPath));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ShmArguments arguments = parseShmArguments(app.arguments());
    switch (arguments.status) {
    case ShmArguments::Help:
        console::out(shmUsage());
        return 0;
    case ShmArguments::Version:
        console::out(QStringLiteral("opacimeter-shm " OPA_VERSION));
        return 0;
    case ShmArguments::Error:
        console::err(QStringLiteral("opacimeter-shm: ") + arguments.message);
        return 2;
    case ShmArguments::Run:
        break;
    }

    switch (arguments.command) {
    case ShmArguments::Send:
        return send(app, arguments);
    case ShmArguments::Read: {
        const DataReading reading = readDataSegment();
        console::out(RecordText::describe(reading));
        return RecordText::exitStatus(reading);
    }
    case ShmArguments::Log:
        return log(app, arguments);
    }
    return 2;
}
