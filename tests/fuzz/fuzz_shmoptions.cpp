#include <cstdlib>

#include "shm/shmoptions.h"

// Any command line: an error always says why, a send has bytes to place and
// a logger a rate it can keep.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The arguments after the program's name, NUL-separated as in argv, so
    // an argument may hold a newline ("5\n" must not pass for a number).
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = size ? text.split(QLatin1Char('\0')) : QStringList();
    const ShmArguments parsed =
        parseShmArguments(QStringList{QStringLiteral("opacimeter-shm")} + lines);
    if (parsed.status == ShmArguments::Error && parsed.message.isEmpty())
        abort();
    // Only a file name, or hex text laid out over lines, may hold a line
    // break; a number never does.
    for (const QString &argument : lines)
        if (parsed.status == ShmArguments::Run && argument.contains(QLatin1Char('\n'))
            && argument != parsed.csvPath
            && QByteArray::fromHex(argument.simplified().remove(QLatin1Char(' ')).toLatin1())
                   != parsed.bytes)
            abort();
    if (parsed.status == ShmArguments::Run
        && ((parsed.command == ShmArguments::Send && parsed.bytes.isEmpty())
            || (parsed.command == ShmArguments::Log && !(parsed.rateHz > 0))))
        abort();
    return 0;
}
