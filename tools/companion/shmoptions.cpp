#include "companion/shmoptions.h"

#include "common/commandline.h"
#include "common/console.h"
#include "common/numbers.h"
#include "companion/recordtext.h"
#include "shm/shmrecord.h"

namespace {

using Option = commandline::Option<ShmArguments>;

const QStringList CommandNames = {QStringLiteral("send"), QStringLiteral("read"),
                                  QStringLiteral("log")};

const QString Description = QStringLiteral("A companion for the host program's shared-memory segments.");

// One more option is one more row.
const QVector<Option> &optionTable()
{
    static const QVector<Option> table = {
        {QStringLiteral("timeout"), QStringLiteral("MS"),
         QStringLiteral("send: how long to wait for the program to take the command (3000)."),
         [](ShmArguments &a, const QString &v) {
             qint64 ms = 0;
             if (!numbers::parseInt(v, 1, 3600000, &ms))
                 return QStringLiteral("milliseconds from 1 to 3600000");
             a.timeoutMs = int(ms);
             return QString();
         },
         {ShmArguments::Send}},
        {QStringLiteral("rate"), QStringLiteral("HZ"), QStringLiteral("log: requests per second (10)."),
         [](ShmArguments &a, const QString &v) {
             return numbers::parseDouble(v, 0.01, 100, &a.rateHz)
                        ? QString()
                        : QStringLiteral("requests per second from 0.01 to 100");
         },
         {ShmArguments::Log}},
        {QStringLiteral("count"), QStringLiteral("N"),
         QStringLiteral("log: stop after N lines (default: run until stopped)."),
         [](ShmArguments &a, const QString &v) {
             qint64 n = 0;
             if (!numbers::parseInt(v, 1, 1000000000, &n))
                 return QStringLiteral("a number of lines of at least 1");
             a.count = int(n);
             return QString();
         },
         {ShmArguments::Log}},
        {QStringLiteral("csv"), QStringLiteral("FILE"),
         QStringLiteral("log: write the lines to FILE instead of standard output."),
         [](ShmArguments &a, const QString &v) {
             if (v.isEmpty())
                 return QStringLiteral("a file name");
             a.csvPath = v;
             return QString();
         },
         {ShmArguments::Log}},
    };
    return table;
}

ShmArguments failure(const QString &message)
{
    return commandline::failure<ShmArguments>(message);
}

} // namespace

QString shmUsage()
{
    return commandline::usage(QStringLiteral(
               "Usage: opacimeter-shm send HEX [--timeout MS]\n"
               "       opacimeter-shm read\n"
               "       opacimeter-shm log [--rate HZ] [--count N] [--csv FILE]\n\n"),
        Description, optionTable(),
        QStringLiteral(
               "\n"
               "Commands:\n"
               "  send HEX   place one command in \"VRKT_516_Shared_cmd\" and wait until the\n"
               "             program has taken it; the program acts on 4-byte commands:\n"
               "             213300AC asks it to publish its last measurement, any other\n"
               "             is forwarded to the meter\n"
               "  read       print the record in \"VRKT_516_Shared_data\"\n"
               "  log        ask for the last measurement HZ times a second and write one\n"
               "             CSV line per answer, after a header line; stops after N\n"
               "             lines, or on SIGINT or SIGTERM\n"
               "\n"
               "Exit status: 0 on success, 1 when the program did not take a command or\n"
               "there is nothing to read, 2 on bad arguments."));
}

ShmArguments parseShmArguments(const QStringList &arguments)
{
    ShmArguments result;
    int command = -1;
    QStringList positional;
    const commandline::Parsed parsed =
        commandline::parseCommand(arguments, CommandNames, Description, optionTable(), result, &command, &positional);
    if (parsed.status != ShmArguments::Run)
        return commandline::stopped<ShmArguments>(parsed);
    result.command = ShmArguments::Command(command);

    if (result.command != ShmArguments::Send) {
        if (!positional.isEmpty())
            return failure(QStringLiteral("%1: unexpected argument %2")
                               .arg(CommandNames.at(command), console::quoted(positional.first())));
        return result;
    }
    QString error;
    if (!RecordText::parseHex(positional.join(QLatin1Char(' ')), &result.bytes, &error))
        return failure(QStringLiteral("send: ") + error);
    if (ShmRecord::encode(result.bytes) == ShmRecord::clearMarker())
        return failure(QStringLiteral("send: 00 reads the same as the clear marker; the "
                                      "program would ignore it"));
    return result;
}
