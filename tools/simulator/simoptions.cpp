#include "simulator/simoptions.h"

#include <QRegularExpression>

#include "common/commandline.h"
#include "common/console.h"
#include "common/numbers.h"
#include "simulator/meterserver.h"

namespace {

const QStringList ScenarioNames = {QStringLiteral("steady"), QStringLiteral("smoke"),
                                   QStringLiteral("step-up"), QStringLiteral("step-down"),
                                   QStringLiteral("file"), QStringLiteral("free-accel"),
                                   QStringLiteral("zero")};

using Option = commandline::Option<SimOptions>;
using Store = decltype(Option::store);

Store wholeNumber(qint64 min, qint64 max, const QString &expected,
                  const std::function<void(SimOptions &, qint64)> &set)
{
    return [=](SimOptions &o, const QString &value) {
        qint64 v = 0;
        if (!numbers::parseInt(value, min, max, &v))
            return expected;
        set(o, v);
        return QString();
    };
}

Store steadyHundredths(qint16 RawMeasurement::*field)
{
    return [=](SimOptions &o, const QString &value) {
        return numbers::parseHundredths(value, &(o.steady.*field))
                   ? QString()
                   : QStringLiteral("a number from -327.68 to 327.67 with at most two decimals");
    };
}

Store degrees(quint8 RawMeasurement::*field)
{
    return wholeNumber(0, 255, QStringLiteral("whole degrees from 0 to 255"),
                       [=](SimOptions &o, qint64 v) { o.steady.*field = quint8(v); });
}

Store flag(bool SimOptions::*field)
{
    return [=](SimOptions &o, const QString &) {
        o.*field = true;
        return QString();
    };
}

// Where it listens and what it plays.
const QVector<Option> &servingOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("listen"), QStringLiteral("ADDRESS"),
         QStringLiteral("Address to listen on (default 127.0.0.1)."),
         [](SimOptions &o, const QString &v) {
             // QHostAddress overlooks blanks and line breaks; a command line should not.
             static const QRegularExpression blank(QStringLiteral("\\s"));
             return !v.contains(blank) && o.address.setAddress(v)
                        ? QString()
                        : QStringLiteral("an IPv4 or IPv6 address");
         }},
        {QStringLiteral("port"), QStringLiteral("N"),
         QStringLiteral("TCP port (default 8899; 0 picks a free one)."),
         wholeNumber(0, 65535, QStringLiteral("a port number from 0 to 65535"),
                     [](SimOptions &o, qint64 v) { o.port = quint16(v); })},
        {QStringLiteral("serial"), QStringLiteral("PATH"),
         QStringLiteral("Answer on a serial line instead of TCP: the device PATH when it exists, "
                        "else a new pseudo-terminal, linked at PATH, whose other end the program opens."),
         [](SimOptions &o, const QString &v) {
             o.serialPath = v;
             return v.isEmpty() ? QStringLiteral("a path") : QString();
         }},
        {QStringLiteral("scenario"), QStringLiteral("NAME"),
         QStringLiteral("steady (default), smoke, step-up, step-down, free-accel, or file CSV."),
         [](SimOptions &o, const QString &v) {
             if (!ScenarioNames.contains(v))
                 return QStringLiteral("one of ") + ScenarioNames.join(QStringLiteral(", "));
             o.scenario = v;
             return QString();
         }},
    };
    return table;
}

// The values of the steady scenario.
const QVector<Option> &steadyOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("n"), QStringLiteral("PERCENT"), QStringLiteral("steady: N (12.34)."),
         steadyHundredths(&RawMeasurement::n)},
        {QStringLiteral("ns"), QStringLiteral("PERCENT"), QStringLiteral("steady: Ns (1)."),
         steadyHundredths(&RawMeasurement::ns)},
        {QStringLiteral("k"), QStringLiteral("PER_M"), QStringLiteral("steady: K in 1/m (3)."),
         steadyHundredths(&RawMeasurement::k)},
        {QStringLiteral("chamber"), QStringLiteral("DEG"),
         QStringLiteral("steady: chamber temperature in degrees C (25)."),
         degrees(&RawMeasurement::chamberC)},
        {QStringLiteral("smoke"), QStringLiteral("DEG"),
         QStringLiteral("steady: smoke temperature in degrees C (30)."),
         degrees(&RawMeasurement::smokeC)},
        {QStringLiteral("energy"), QStringLiteral("VALUE"),
         QStringLiteral("steady: energy value (2048)."),
         wholeNumber(-32768, 32767, QStringLiteral("a whole number from -32768 to 32767"),
                     [](SimOptions &o, qint64 v) { o.steady.energy = qint16(v); })},
    };
    return table;
}

// The other scenarios' timing.
const QVector<Option> &scenarioOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("tau"), QStringLiteral("MS"),
         QStringLiteral("Step scenarios: time constant (455, a 1-s rise)."),
         wholeNumber(1, 600000, QStringLiteral("milliseconds from 1 to 600000"),
                     [](SimOptions &o, qint64 v) { o.tauMs = int(v); })},
        {QStringLiteral("period"), QStringLiteral("MS"),
         QStringLiteral("Smoke, step and free-accel scenarios: cycle length (8000)."),
         wholeNumber(200, 3600000, QStringLiteral("milliseconds from 200 to 3600000"),
                     [](SimOptions &o, qint64 v) { o.periodMs = int(v); })},
        {QStringLiteral("filter"), QStringLiteral("PERCENT"),
         QStringLiteral("A reference filter in the beam: N steady near PERCENT, within 0.2 %, "
                        "for the daily filter check (scenario zero: a clean zero)."),
         [](SimOptions &o, const QString &v) {
             qint16 n = 0;
             if (!numbers::parseHundredths(v, &n) || n <= 0 || n >= 10000)
                 return QStringLiteral("a percentage above 0 and below 100, like 50.0");
             o.scenario = QStringLiteral("filter");
             o.checkN = n;
             return QString();
         }},
        {QStringLiteral("peaks"), QStringLiteral("K1,K2,..."),
         QStringLiteral("free-accel: K of each snap in 1/m, one snap per period from 5 s "
                        "after the first request, idle at --k (0.10)."),
         [](SimOptions &o, const QString &v) {
             o.peaks.clear();
             for (const QString &peak : v.split(QLatin1Char(','))) {
                 qint16 k = 0;
                 if (!numbers::parseHundredths(peak.trimmed(), &k) || k <= 0)
                     return QStringLiteral("positive K values like 1.50,1.30");
                 o.peaks.append(k);
             }
             return QString();
         }},
        {QStringLiteral("calibration-delay"), QStringLiteral("MS"),
         QStringLiteral("Delay of the calibration-done reply (2000)."),
         wholeNumber(0, 600000, QStringLiteral("milliseconds from 0 to 600000"),
                     [](SimOptions &o, qint64 v) { o.calibrationDelayMs = int(v); })},
    };
    return table;
}

// The faults it can put on the line.
const QVector<Option> &faultOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("split"), QStringLiteral("N"),
         QStringLiteral("Write every reply in pieces of N bytes, 5 ms apart."),
         wholeNumber(1, 1000, QStringLiteral("a piece size from 1 to 1000 bytes"),
                     [](SimOptions &o, qint64 v) { o.splitBytes = int(v); })},
        {QStringLiteral("garbage"), QString(),
         QStringLiteral("Stray bytes (never 0x06) before every third reply."),
         flag(&SimOptions::garbage)},
        {QStringLiteral("stray"), QStringLiteral("N"),
         QStringLiteral("A stray start byte 0x06 before every N-th reply."),
         wholeNumber(1, 1000000, QStringLiteral("a number of replies from 1 to 1000000"),
                     [](SimOptions &o, qint64 v) { o.strayEvery = int(v); })},
        {QStringLiteral("bad-checksum"), QStringLiteral("N"),
         QStringLiteral("A wrong checksum on every N-th reply."),
         wholeNumber(1, 1000000, QStringLiteral("a number of replies from 1 to 1000000"),
                     [](SimOptions &o, qint64 v) { o.badChecksumEvery = int(v); })},
        {QStringLiteral("drop-after"), QStringLiteral("N"),
         QStringLiteral("Close the connection after N replies."),
         wholeNumber(1, 1000000000, QStringLiteral("a number of replies of at least 1"),
                     [](SimOptions &o, qint64 v) { o.dropAfter = int(v); })},
        {QStringLiteral("outage"), QStringLiteral("AFTER_MS:FOR_MS"),
         QStringLiteral("Drop the connection after AFTER_MS, refuse connections for FOR_MS, "
                        "then listen again; repeats."),
         [](SimOptions &o, const QString &v) {
             return MeterServer::parseOutage(v, &o.outageAfterMs, &o.outageForMs)
                        ? QString()
                        : QStringLiteral("AFTER_MS:FOR_MS, each from 1 to 3600000");
         }},
        {QStringLiteral("silent"), QString(), QStringLiteral("Accept connections, never answer."),
         flag(&SimOptions::silent)},
        {QStringLiteral("no-accept"), QString(),
         QStringLiteral("Leave connections neither accepted nor refused."),
         flag(&SimOptions::noAccept)},
        {QStringLiteral("quiet"), QString(),
         QStringLiteral("No line per frame, only connection events."), flag(&SimOptions::quiet)},
    };
    return table;
}

// Every option of the simulator; one more is one more row (and, if it only
// makes sense with others, a line in checkCombination).
const QVector<Option> &optionTable()
{
    static const QVector<Option> table = servingOptions() + steadyOptions() + scenarioOptions() + faultOptions();
    return table;
}

const QStringList SteadyOptions = {QStringLiteral("n"), QStringLiteral("ns"), QStringLiteral("k"),
                                   QStringLiteral("chamber"), QStringLiteral("smoke"),
                                   QStringLiteral("energy")};

const QString Description = QStringLiteral(
    "A smoke opacity meter behind its network server, for trying and testing the\n"
    "host program without hardware. Serves one client at a time.");

void addOptions(QCommandLineParser &parser)
{
    commandline::addOptions(parser, Description, optionTable());
    parser.addPositionalArgument(QStringLiteral("CSV"),
                                 QStringLiteral("With --scenario file: one row of raw values "
                                                "per reply."),
                                 QStringLiteral("[CSV]"));
}

SimArguments failure(const QString &message)
{
    return commandline::failure<SimArguments>(message);
}

// Options that only mean something together with certain others.
QString checkCombination(const SimOptions &o, const QCommandLineParser &given)
{
    if (given.isSet(QStringLiteral("filter")) && given.isSet(QStringLiteral("scenario")))
        return QStringLiteral("--filter plays a scenario of its own; leave out --scenario");
    const bool freeAccel = o.scenario == QLatin1String("free-accel");
    if (freeAccel != !o.peaks.isEmpty())
        return QStringLiteral("the free-accel scenario and --peaks go together");
    if (freeAccel && o.periodMs < 3500)
        return QStringLiteral("--period: a free-accel snap needs at least 3500 ms");
    for (const QString &name : SteadyOptions)
        if (given.isSet(name) && o.scenario != QLatin1String("steady")
            && !(freeAccel && name == QLatin1String("k")))
            return QStringLiteral("--%1 sets a value of the steady scenario, not of '%2'")
                .arg(name, o.scenario);
    const bool step = o.scenario.startsWith(QLatin1String("step-"));
    if (given.isSet(QStringLiteral("tau")) && !step)
        return QStringLiteral("--tau applies to the step-up and step-down scenarios only");
    if (given.isSet(QStringLiteral("period")) && !step && !freeAccel
        && o.scenario != QLatin1String("smoke"))
        return QStringLiteral("--period applies to the smoke, step and free-accel scenarios only");
    if (o.scenario == QLatin1String("smoke") && o.periodMs < 2000)
        return QStringLiteral("--period: a smoke cycle needs at least 2000 ms to hold a whole puff");
    if (!o.serialPath.isEmpty()) {
        for (const char *name : {"listen", "port", "no-accept", "outage", "drop-after"})
            if (given.isSet(QLatin1String(name)))
                return QStringLiteral("--%1 has no meaning on a serial line").arg(QLatin1String(name));
    }
    if (o.noAccept) {
        for (const char *name :
             {"silent", "split", "garbage", "stray", "bad-checksum", "drop-after", "calibration-delay", "outage"})
            if (given.isSet(QLatin1String(name)))
                return QStringLiteral("--%1 has no effect with --no-accept, which never serves a client")
                    .arg(QLatin1String(name));
    }
    return QString();
}

} // namespace

QString simUsage()
{
    QCommandLineParser parser;
    addOptions(parser);
    return QStringLiteral("Usage: opacimeter-sim [options] [--scenario file CSV]\n\n")
           + commandline::optionsHelp(parser)
           + QStringLiteral(
               "\n"
               "Scenarios:\n"
               "  steady     the same reply every time, from --n, --ns, --k, --chamber,\n"
               "             --smoke and --energy\n"
               "  smoke      free-acceleration puffs of smoke, one per --period\n"
               "  step-up    N and Ns step from 0 to 100 % halfway through each --period\n"
               "             and follow a first-order curve with time constant --tau\n"
               "  step-down  the same from 100 % down to 0\n"
               "  file       the rows of a CSV file (N,Ns,K,chamber,smoke,energy as raw\n"
               "             values), one per request, over and over\n"
               "\n"
               "Exit status: 0 after SIGINT or SIGTERM, 1 when it cannot listen, 2 on bad\n"
               "arguments.");
}

SimArguments parseSimArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments.isEmpty() ? QStringList{QStringLiteral("opacimeter-sim")}
                                          : arguments))
        return failure(commandline::parseError(parser));

    SimArguments result;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        result.status = parser.isSet(QStringLiteral("help")) ? SimArguments::Help : SimArguments::Version;
        return result;
    }
    SimOptions &o = result.options;
    const QString stored = commandline::storeValues(parser, optionTable(), o);
    if (!stored.isEmpty())
        return failure(stored);

    const QStringList positional = parser.positionalArguments();
    if (o.scenario == QLatin1String("file")) {
        if (positional.size() != 1)
            return failure(QStringLiteral("--scenario file needs the path of one CSV file"));
        o.csvPath = positional.first();
    } else if (!positional.isEmpty()) {
        return failure(QStringLiteral("unexpected argument %1. See --help.")
                           .arg(console::quoted(positional.first())));
    }
    if (o.scenario == QLatin1String("free-accel") && !parser.isSet(QStringLiteral("k")))
        o.steady.k = 10;  // an engine at idle: 0.10 1/m
    const QString error = checkCombination(o, parser);
    if (!error.isEmpty())
        return failure(error);
    return result;
}
