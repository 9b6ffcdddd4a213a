#include <cstdlib>

#include "companion/shmoptions.h"
#include "fuzzarguments.h"

// Any command line: an error always says why, a number never passes with
// anything around it, a send has bytes to place and a logger a rate it can
// keep.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList arguments = fuzzArguments(data, size);
    const ShmArguments parsed = parseShmArguments(QStringList{QStringLiteral("opacimeter-shm")} + arguments);
    if (parsed.status == ShmArguments::Error && parsed.message.isEmpty())
        abort();
    if (parsed.status == ShmArguments::Run
        && (numberWithLineBreak(arguments, {"timeout", "rate", "count"})
            || (parsed.command == ShmArguments::Send && parsed.bytes.isEmpty())
            || (parsed.command == ShmArguments::Log && !(parsed.rateHz > 0))))
        abort();
    return 0;
}
