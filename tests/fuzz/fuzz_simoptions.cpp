#include <cstdlib>

#include "sim/simoptions.h"

// Any command line: an error always says why, and a run has usable settings.
// (An empty or missing CSV file is caught when the scenario opens it.)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One argument per line of the input, after the program's name.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = size ? text.split(QLatin1Char('\n')) : QStringList();
    const SimArguments parsed =
        parseSimArguments(QStringList{QStringLiteral("opacimeter-sim")} + lines);
    const SimOptions &o = parsed.options;
    if (parsed.status == SimArguments::Error && parsed.message.isEmpty())
        abort();
    if (parsed.status == SimArguments::Run
        && (o.splitBytes < 0 || o.dropAfter < 0 || o.calibrationDelayMs < 0
            || (o.scenario != QLatin1String("file") && !o.csvPath.isEmpty())))
        abort();
    return 0;
}
