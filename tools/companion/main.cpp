#include <QCoreApplication>
#include <QFile>

#include "common/console.h"
#include "platform/signalwatcher.h"
#include "lane/csvfile.h"
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

// Standard output is unbuffered, so that a logger stopped by a signal
// leaves whole lines; a file is the program's own CSV file, which appends.
int log(QCoreApplication &app, const ShmArguments &arguments)
{
    QFile out;
    CsvFile csv;
    const QString header = RecordText::csvHeader();
    const bool toFile = !arguments.csvPath.isEmpty();
    if (toFile ? !csv.open(arguments.csvPath, header)
               : !out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        console::err(QStringLiteral("opacimeter-shm: log: ")
                     + (toFile ? csv.errorString() : out.errorString()));
        return 1;
    }
    if (!toFile)
        out.write(header.toUtf8() + '\n');
    MeasurementLogger logger(arguments.rateHz, arguments.count);
    SignalWatcher watcher;
    int status = 0;
    QObject::connect(&logger, &MeasurementLogger::row, &app, [&](const QString &line) {
        if (!toFile)
            out.write(line.toUtf8() + '\n');
        else if (!csv.append(line))
            app.quit();
    });
    QObject::connect(&csv, &CsvFile::failed, &app, [&](const QString &reason) {
        console::err(QStringLiteral("opacimeter-shm: log: ") + reason);
        status = 1;
        app.quit();
    });
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
    csv.close();
    if (toFile && status == 0)
        console::err(QStringLiteral("logged %1 measurements to %2").arg(logger.lines())
                         .arg(arguments.csvPath));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ShmArguments arguments = parseShmArguments(app.arguments());
    const int early = commandline::finishEarly(arguments, QStringLiteral("opacimeter-shm"), shmUsage);
    if (early >= 0)
        return early;

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
