#include "companion/shmoptions.h"

#include <QCommandLineParser>
#include <QVector>

#include <functional>

#include "common/console.h"
#include "common/numbers.h"
#include "companion/recordtext.h"
#include "shm/shmrecord.h"

namespace {

// Stores one value of an option; returns what was expected when the value
// does not fit, or an empty string.
using Store = std::function<QString(ShmArguments &, const QString &)>;

struct OptionRow
{
    ShmArguments::Command command;  // the one command that takes it
    QString name;
    QString valueName;
    QString description;
    Store store;
};

const QStringList CommandNames = {QStringLiteral("send"), QStringLiteral("read"),
                                  QStringLiteral("log")};

// One more option is one more row.
const QVector<OptionRow> &optionTable()
{
    static const QVector<OptionRow> table = {
        {ShmArguments::Send, QStringLiteral("timeout"), QStringLiteral("MS"),
         QStringLiteral("send: how long to wait for the program to take the command (3000)."),
         [](ShmArguments &a, const QString &v) {
             qint64 ms = 0;
             if (!numbers::parseInt(v, 1, 3600000, &ms))
                 return QStringLiteral("milliseconds from 1 to 3600000");
             a.timeoutMs = int(ms);
             return QString();
         }},
        {ShmArguments::Log, QStringLiteral("rate"), QStringLiteral("HZ"),
         QStringLiteral("log: requests per second (10)."),
         [](ShmArguments &a, const QString &v) {
             return numbers::parseDouble(v, 0.01, 100, &a.rateHz)
                        ? QString()
                        : QStringLiteral("requests per second from 0.01 to 100");
         }},
        {ShmArguments::Log, QStringLiteral("count"), QStringLiteral("N"),
         QStringLiteral("log: stop after N lines (default: run until stopped)."),
         [](ShmArguments &a, const QString &v) {
             qint64 n = 0;
             if (!numbers::parseInt(v, 1, 1000000000, &n))
                 return QStringLiteral("a number of lines of at least 1");
             a.count = int(n);
             return QString();
         }},
        {ShmArguments::Log, QStringLiteral("csv"), QStringLiteral("FILE"),
         QStringLiteral("log: write the lines to FILE instead of standard output."),
         [](ShmArguments &a, const QString &v) {
             if (v.isEmpty())
                 return QStringLiteral("a file name");
             a.csvPath = v;
             return QString();
         }},
    };
    return table;
}

// The options of 'command', or of every command for the help text.
void addOptions(QCommandLineParser &parser, int command = -1)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("A companion for the host program's shared-memory segments."));
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")},
                      QStringLiteral("Displays this help.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("Displays the version.")});
    for (const OptionRow &option : optionTable())
        if (command < 0 || option.command == command)
            parser.addOption({option.name, option.description, option.valueName});
}

ShmArguments failure(const QString &message)
{
    ShmArguments result;
    result.status = ShmArguments::Error;
    result.message = message;
    return result;
}

} // namespace

QString shmUsage()
{
    QCommandLineParser parser;
    addOptions(parser);
    const QString generated = parser.helpText();
    // Qt's usage line names the executable by its full path and knows no commands.
    return QStringLiteral(
               "Usage: opacimeter-shm send HEX [--timeout MS]\n"
               "       opacimeter-shm read\n"
               "       opacimeter-shm log [--rate HZ] [--count N] [--csv FILE]\n\n")
           + generated.mid(generated.indexOf(QLatin1Char('\n')) + 1)
           + QStringLiteral(
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
               "there is nothing to read, 2 on bad arguments.");
}

ShmArguments parseShmArguments(const QStringList &arguments)
{
    // The command comes first; its options follow.
    const QString command = arguments.value(1);
    ShmArguments result;
    if (command.isEmpty())
        return failure(QStringLiteral("missing command: send, read or log. See --help."));
    for (const char *help : {"help", "--help", "-h"})
        if (command == QLatin1String(help)) {
            result.status = ShmArguments::Help;
            return result;
        }
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        result.status = ShmArguments::Version;
        return result;
    }
    const int index = CommandNames.indexOf(command);
    if (index < 0)
        return failure(QStringLiteral("unknown command %1: use send, read or log")
                           .arg(console::quoted(command)));
    result.command = ShmArguments::Command(index);

    QCommandLineParser parser;
    addOptions(parser, index);
    if (!parser.parse(QStringList{arguments.first()} + arguments.mid(2)))
        return failure(command + QStringLiteral(": ")
                       + parser.errorText().replace(QLatin1Char('\n'), QLatin1String("\\n"))
                       + QStringLiteral(" See --help."));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        result.status = parser.isSet(QStringLiteral("help")) ? ShmArguments::Help
                                                             : ShmArguments::Version;
        return result;
    }
    for (const OptionRow &option : optionTable()) {
        if (option.command != index)
            continue;
        for (const QString &value : parser.values(option.name)) {
            const QString expected = option.store(result, value);
            if (!expected.isEmpty())
                return failure(QStringLiteral("%1: --%2: expected %3, got %4")
                                   .arg(command, option.name, expected, console::quoted(value)));
        }
    }

    const QStringList positional = parser.positionalArguments();
    if (result.command != ShmArguments::Send) {
        if (!positional.isEmpty())
            return failure(QStringLiteral("%1: unexpected argument %2")
                               .arg(command, console::quoted(positional.first())));
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
