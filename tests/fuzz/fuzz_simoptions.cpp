#include <cstdlib>

#include <QRegularExpression>

#include "simulator/simoptions.h"

// Any command line: an error always says why, and a run has usable settings.
// (An empty or missing CSV file is caught when the scenario opens it.)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The arguments after the program's name, NUL-separated as in argv, so
    // an argument may hold a newline ("5\n" must not pass for a number).
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = size ? text.split(QLatin1Char('\0')) : QStringList();
    const SimArguments parsed =
        parseSimArguments(QStringList{QStringLiteral("opacimeter-sim")} + lines);
    const SimOptions &o = parsed.options;
    if (parsed.status == SimArguments::Error && parsed.message.isEmpty())
        abort();
    // A number never passes with anything around it, a line break included.
    static const QStringList numberOptions = {"port", "n", "ns", "k", "chamber", "smoke", "energy",
                                              "tau", "period", "calibration-delay", "split",
                                              "stray", "drop-after"};
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (parsed.status == SimArguments::Run && lines.at(i + 1).contains(QLatin1Char('\n'))
            && numberOptions.contains(
                QString(lines.at(i)).remove(QRegularExpression(QStringLiteral("^-+")))))
            abort();
    if (parsed.status == SimArguments::Run
        && (o.splitBytes < 0 || o.dropAfter < 0 || o.calibrationDelayMs < 0
            || (o.scenario != QLatin1String("file") && !o.csvPath.isEmpty())))
        abort();
    return 0;
}
