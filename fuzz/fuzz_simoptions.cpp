#include <cstdlib>

#include "fuzzarguments.h"
#include "simulator/simoptions.h"

// Any command line: an error always says why, a number never passes with
// anything around it, and a run has usable settings. (An empty or missing
// CSV file is caught when the scenario opens it.)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList arguments = fuzzArguments(data, size);
    const SimArguments parsed = parseSimArguments(QStringList{QStringLiteral("opacimeter-sim")} + arguments);
    const SimOptions &o = parsed.options;
    if (parsed.status == SimArguments::Error && parsed.message.isEmpty())
        abort();
    static const QStringList numberOptions = {"port", "n", "ns", "k", "chamber", "smoke", "energy", "tau",
                                              "period", "calibration-delay", "split", "stray", "drop-after"};
    if (parsed.status == SimArguments::Run
        && (numberWithLineBreak(arguments, numberOptions) || o.splitBytes < 0 || o.dropAfter < 0
            || o.calibrationDelayMs < 0 || (o.scenario != QLatin1String("file") && !o.csvPath.isEmpty())))
        abort();
    return 0;
}
