#include "sim/simoptions.h"

#include <QSet>

#include "common/numbers.h"
#include "sim/meterserver.h"

const QStringList ScenarioNames = {QStringLiteral("steady"), QStringLiteral("smoke"),
                                   QStringLiteral("step-up"), QStringLiteral("step-down"),
                                   QStringLiteral("file")};

QString simUsage()
{
    return QStringLiteral(
        "usage: opacimeter-sim [--listen ADDRESS] [--port N] [--scenario NAME] [options]\n"
        "\n"
        "A smoke opacity meter behind its network server, for trying and testing the\n"
        "host program without hardware. Serves one client at a time.\n"
        "\n"
        "  --listen ADDRESS         address to listen on (default 127.0.0.1)\n"
        "  --port N                 TCP port (default 8899; 0 picks a free one)\n"
        "  --scenario NAME          steady (default), smoke, step-up, step-down,\n"
        "                           or file CSV (one row of raw values per reply)\n"
        "  --n, --ns, --k VALUE     steady: N and Ns in %, K in 1/m (12.34, 1, 3)\n"
        "  --chamber, --smoke DEG   steady: temperatures in degrees C (25, 30)\n"
        "  --energy VALUE           steady: energy value (2048)\n"
        "  --tau MS                 step scenarios: time constant (455: 10-90 % in 1 s)\n"
        "  --period MS              smoke and step scenarios: cycle length (8000)\n"
        "  --calibration-delay MS   delay of the calibration-done reply (2000)\n"
        "  --split N                write every reply in pieces of N bytes, 5 ms apart\n"
        "  --garbage                stray bytes before every third reply\n"
        "  --drop-after N           close the connection after N replies\n"
        "  --outage AFTER_MS:FOR_MS drop the connection after AFTER_MS, refuse\n"
        "                           connections for FOR_MS, then listen again; repeats\n"
        "  --silent                 accept connections, never answer\n"
        "  --no-accept              leave connections neither accepted nor refused\n"
        "  --quiet                  no line per frame, only connection events\n"
        "  --help                   this text\n"
        "\n"
        "Exit status: 0 after SIGINT or SIGTERM, 1 when it cannot listen, 2 on bad arguments.");
}

namespace {

const QStringList SteadyOptions = {QStringLiteral("n"), QStringLiteral("ns"), QStringLiteral("k"),
                                   QStringLiteral("chamber"), QStringLiteral("smoke"),
                                   QStringLiteral("energy")};
const QStringList ValueOptions = SteadyOptions + QStringList{
    QStringLiteral("listen"), QStringLiteral("port"), QStringLiteral("scenario"),
    QStringLiteral("tau"), QStringLiteral("period"), QStringLiteral("calibration-delay"),
    QStringLiteral("split"), QStringLiteral("drop-after"), QStringLiteral("outage")};
const QStringList FlagOptions = {QStringLiteral("garbage"), QStringLiteral("silent"),
                                 QStringLiteral("no-accept"), QStringLiteral("quiet"),
                                 QStringLiteral("help")};

SimArguments failure(const QString &message)
{
    SimArguments result;
    result.status = SimArguments::Error;
    result.message = message;
    return result;
}

QString badValue(const QString &name, const QString &value, const QString &expected)
{
    return QStringLiteral("--%1: expected %2, got '%3'").arg(name, expected, value);
}

// Applies one option's value; returns an error text or an empty string.
QString apply(SimOptions &o, const QString &name, const QString &value)
{
    qint64 whole = 0;
    if (name == QLatin1String("listen")) {
        if (!o.address.setAddress(value))
            return badValue(name, value, QStringLiteral("an IPv4 or IPv6 address"));
    } else if (name == QLatin1String("port")) {
        if (!numbers::parseInt(value, 0, 65535, &whole))
            return badValue(name, value, QStringLiteral("a port number from 0 to 65535"));
        o.port = quint16(whole);
    } else if (name == QLatin1String("scenario")) {
        if (!ScenarioNames.contains(value))
            return badValue(name, value,
                            QStringLiteral("one of ") + ScenarioNames.join(QStringLiteral(", ")));
        o.scenario = value;
    } else if (name == QLatin1String("n") || name == QLatin1String("ns")
               || name == QLatin1String("k")) {
        qint16 *field = name == QLatin1String("n") ? &o.steady.n
                        : name == QLatin1String("ns") ? &o.steady.ns : &o.steady.k;
        if (!numbers::parseHundredths(value, field))
            return badValue(name, value,
                            QStringLiteral("a number from -327.68 to 327.67 with at most two decimals"));
    } else if (name == QLatin1String("chamber") || name == QLatin1String("smoke")) {
        if (!numbers::parseInt(value, 0, 255, &whole))
            return badValue(name, value, QStringLiteral("whole degrees from 0 to 255"));
        (name == QLatin1String("chamber") ? o.steady.chamber : o.steady.smoke) = quint8(whole);
    } else if (name == QLatin1String("energy")) {
        if (!numbers::parseInt(value, -32768, 32767, &whole))
            return badValue(name, value, QStringLiteral("a whole number from -32768 to 32767"));
        o.steady.energy = qint16(whole);
    } else if (name == QLatin1String("tau")) {
        if (!numbers::parseInt(value, 1, 600000, &whole))
            return badValue(name, value, QStringLiteral("milliseconds from 1 to 600000"));
        o.tauMs = int(whole);
    } else if (name == QLatin1String("period")) {
        if (!numbers::parseInt(value, 200, 3600000, &whole))
            return badValue(name, value, QStringLiteral("milliseconds from 200 to 3600000"));
        o.periodMs = int(whole);
    } else if (name == QLatin1String("calibration-delay")) {
        if (!numbers::parseInt(value, 0, 600000, &whole))
            return badValue(name, value, QStringLiteral("milliseconds from 0 to 600000"));
        o.calibrationDelayMs = int(whole);
    } else if (name == QLatin1String("split")) {
        if (!numbers::parseInt(value, 1, 1000, &whole))
            return badValue(name, value, QStringLiteral("a piece size from 1 to 1000 bytes"));
        o.splitBytes = int(whole);
    } else if (name == QLatin1String("drop-after")) {
        if (!numbers::parseInt(value, 1, 1000000000, &whole))
            return badValue(name, value, QStringLiteral("a number of replies of at least 1"));
        o.dropAfter = int(whole);
    } else if (name == QLatin1String("outage")) {
        if (!MeterServer::parseOutage(value, &o.outageAfterMs, &o.outageForMs))
            return badValue(name, value, QStringLiteral("AFTER_MS:FOR_MS, each from 1 to 3600000"));
    }
    return QString();
}

// Options that only mean something together with certain others.
QString checkCombination(const SimOptions &o, const QSet<QString> &given)
{
    for (const QString &name : SteadyOptions)
        if (given.contains(name) && o.scenario != QLatin1String("steady"))
            return QStringLiteral("--%1 sets a value of the steady scenario, not of '%2'")
                .arg(name, o.scenario);
    const bool step = o.scenario.startsWith(QLatin1String("step-"));
    if (given.contains(QStringLiteral("tau")) && !step)
        return QStringLiteral("--tau applies to the step-up and step-down scenarios only");
    if (given.contains(QStringLiteral("period")) && !step && o.scenario != QLatin1String("smoke"))
        return QStringLiteral("--period applies to the smoke, step-up and step-down scenarios only");
    if (o.scenario == QLatin1String("smoke") && o.periodMs < 2000)
        return QStringLiteral("--period: a smoke cycle needs at least 2000 ms to hold a whole puff");
    if (o.noAccept) {
        for (const char *name : {"silent", "split", "garbage", "drop-after", "calibration-delay", "outage"})
            if (given.contains(QLatin1String(name)))
                return QStringLiteral("--%1 has no effect with --no-accept, which never serves a client")
                    .arg(QLatin1String(name));
    }
    return QString();
}

} // namespace

SimArguments parseSimArguments(const QStringList &arguments)
{
    SimArguments result;
    SimOptions &o = result.options;
    QSet<QString> given;

    for (int i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (!arg.startsWith(QLatin1String("--")) || arg.size() == 2)
            return failure(QStringLiteral("unexpected argument '%1' (see --help)").arg(arg));
        QString name = arg.mid(2);
        QString value;
        bool hasValue = false;
        const int equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
            hasValue = true;
        }
        if (FlagOptions.contains(name)) {
            if (hasValue)
                return failure(QStringLiteral("--%1 takes no value").arg(name));
            if (name == QLatin1String("help")) {
                result.status = SimArguments::Help;
                return result;
            }
            (name == QLatin1String("garbage") ? o.garbage
             : name == QLatin1String("silent") ? o.silent
             : name == QLatin1String("no-accept") ? o.noAccept : o.quiet) = true;
        } else if (ValueOptions.contains(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return failure(QStringLiteral("--%1 needs a value").arg(name));
                value = arguments.at(++i);
            }
            const QString error = apply(o, name, value);
            if (!error.isEmpty())
                return failure(error);
            // "--scenario file CSV": the path follows the name.
            if (name == QLatin1String("scenario") && value == QLatin1String("file")) {
                if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--")))
                    return failure(QStringLiteral("--scenario file needs the path of a CSV file after it"));
                o.csvPath = arguments.at(++i);
            }
        } else {
            return failure(QStringLiteral("unknown option '--%1' (see --help)").arg(name));
        }
        given.insert(name);
    }

    const QString error = checkCombination(o, given);
    if (!error.isEmpty())
        return failure(error);
    return result;
}
