#include "shm/shmoptions.h"

#include "common/numbers.h"
#include "shm/recordtext.h"
#include "shm/shmrecord.h"

QString shmUsage()
{
    return QStringLiteral(
        "usage: opacimeter-shm send HEX [--timeout MS]\n"
        "       opacimeter-shm read\n"
        "       opacimeter-shm log [--rate HZ] [--count N] [--csv FILE]\n"
        "\n"
        "A companion for the host program's shared-memory segments.\n"
        "\n"
        "  send HEX      place one command in \"VRKT_516_Shared_cmd\" and wait until the\n"
        "                program has taken it (default timeout 3000 ms); the program\n"
        "                acts on 4-byte commands: 213300AC asks it to publish its last\n"
        "                measurement, any other is forwarded to the meter\n"
        "  read          print the record in \"VRKT_516_Shared_data\"\n"
        "  log           ask for the last measurement HZ times a second (default 10)\n"
        "                and write one CSV line per answer, after a header line;\n"
        "                stops after N lines, or on SIGINT or SIGTERM\n"
        "\n"
        "Exit status: 0 on success, 1 when the program did not take a command or\n"
        "there is nothing to read, 2 on bad arguments.");
}

namespace {

ShmArguments failure(const QString &message)
{
    ShmArguments result;
    result.status = ShmArguments::Error;
    result.message = message;
    return result;
}

// Splits "--name=value" or "--name value"; returns false when the value is missing.
bool takeValue(const QStringList &arguments, int *i, QString *name, QString *value)
{
    const QString arg = arguments.at(*i);
    const int equals = arg.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        *name = arg.mid(2, equals - 2);
        *value = arg.mid(equals + 1);
        return true;
    }
    *name = arg.mid(2);
    if (*i + 1 >= arguments.size())
        return false;
    *value = arguments.at(++*i);
    return true;
}

} // namespace

ShmArguments parseShmArguments(const QStringList &arguments)
{
    ShmArguments result;
    if (arguments.size() < 2)
        return failure(QStringLiteral("missing command: send, read or log (see --help)"));
    const QString command = arguments.at(1);
    if (command == QLatin1String("--help") || command == QLatin1String("help")) {
        result.status = ShmArguments::Help;
        return result;
    }
    if (command == QLatin1String("send"))
        result.command = ShmArguments::Send;
    else if (command == QLatin1String("read"))
        result.command = ShmArguments::Read;
    else if (command == QLatin1String("log"))
        result.command = ShmArguments::Log;
    else
        return failure(QStringLiteral("unknown command '%1': use send, read or log").arg(command));

    QStringList hexParts;
    for (int i = 2; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (arg == QLatin1String("--help")) {
            result.status = ShmArguments::Help;
            return result;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            if (result.command != ShmArguments::Send)
                return failure(QStringLiteral("%1: unexpected argument '%2'").arg(command, arg));
            hexParts.append(arg);
            continue;
        }
        QString name;
        QString value;
        if (!takeValue(arguments, &i, &name, &value))
            return failure(QStringLiteral("%1: --%2 needs a value").arg(command, name));
        qint64 whole = 0;
        if (result.command == ShmArguments::Send && name == QLatin1String("timeout")) {
            if (!numbers::parseInt(value, 1, 3600000, &whole))
                return failure(QStringLiteral("send: --timeout: expected milliseconds from 1 to "
                                              "3600000, got '%1'").arg(value));
            result.timeoutMs = int(whole);
        } else if (result.command == ShmArguments::Log && name == QLatin1String("rate")) {
            if (!numbers::parseDouble(value, 0.01, 100, &result.rateHz))
                return failure(QStringLiteral("log: --rate: expected requests per second from "
                                              "0.01 to 100, got '%1'").arg(value));
        } else if (result.command == ShmArguments::Log && name == QLatin1String("count")) {
            if (!numbers::parseInt(value, 1, 1000000000, &whole))
                return failure(QStringLiteral("log: --count: expected a number of lines of at "
                                              "least 1, got '%1'").arg(value));
            result.count = int(whole);
        } else if (result.command == ShmArguments::Log && name == QLatin1String("csv")) {
            if (value.isEmpty())
                return failure(QStringLiteral("log: --csv needs a file name"));
            result.csvPath = value;
        } else {
            return failure(QStringLiteral("%1: unknown option '--%2' (see --help)").arg(command, name));
        }
    }

    if (result.command == ShmArguments::Send) {
        QString error;
        if (!RecordText::parseHex(hexParts.join(QLatin1Char(' ')), &result.bytes, &error))
            return failure(QStringLiteral("send: ") + error);
        if (ShmRecord::encode(result.bytes) == ShmRecord::clearMarker())
            return failure(QStringLiteral("send: 00 reads the same as the clear marker; the "
                                          "program would ignore it"));
    }
    return result;
}
