#include <cstdlib>

#include "sim/simoptions.h"

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
    // Only a file name may hold a line break; a number or a name never does.
    for (const QString &argument : lines)
        if (parsed.status == SimArguments::Run && argument.contains(QLatin1Char('\n'))
            && argument != o.csvPath)
            abort();
    if (parsed.status == SimArguments::Run
        && (o.splitBytes < 0 || o.dropAfter < 0 || o.calibrationDelayMs < 0
            || (o.scenario != QLatin1String("file") && !o.csvPath.isEmpty())))
        abort();
    return 0;
}
