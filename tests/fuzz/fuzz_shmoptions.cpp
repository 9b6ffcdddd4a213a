#include <cstdlib>

#include "shm/shmoptions.h"

// Any command line: an error always says why, a send has bytes to place and
// a logger a rate it can keep.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One argument per line of the input, after the program's name.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = size ? text.split(QLatin1Char('\n')) : QStringList();
    const ShmArguments parsed =
        parseShmArguments(QStringList{QStringLiteral("opacimeter-shm")} + lines);
    if (parsed.status == ShmArguments::Error && parsed.message.isEmpty())
        abort();
    if (parsed.status == ShmArguments::Run
        && ((parsed.command == ShmArguments::Send && parsed.bytes.isEmpty())
            || (parsed.command == ShmArguments::Log && !(parsed.rateHz > 0))))
        abort();
    return 0;
}
