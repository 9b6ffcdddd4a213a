#include <cstdlib>

#include <QRegularExpression>

#include "companion/shmoptions.h"

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
    // A number never passes with anything around it, a line break included.
    static const QStringList numberOptions = {"timeout", "rate", "count"};
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (parsed.status == ShmArguments::Run && lines.at(i + 1).contains(QLatin1Char('\n'))
            && numberOptions.contains(
                QString(lines.at(i)).remove(QRegularExpression(QStringLiteral("^-+")))))
            abort();
    if (parsed.status == ShmArguments::Run
        && ((parsed.command == ShmArguments::Send && parsed.bytes.isEmpty())
            || (parsed.command == ShmArguments::Log && !(parsed.rateHz > 0))))
        abort();
    return 0;
}
