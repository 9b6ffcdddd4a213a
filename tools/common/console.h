#ifndef TOOLS_CONSOLE_H
#define TOOLS_CONSOLE_H

#include <QByteArray>
#include <QString>

// The tools talk to scripts and tests that wait for their lines, so every
// line is flushed at once instead of sitting in a buffer.
namespace console {

void out(const QString &line);
void err(const QString &line);

// "hh:mm:ss.zzz" of the local time, the stamp in front of traffic lines.
QString timeStamp();

// Frames as the tools print them: upper-case hex without separators.
QString hex(const QByteArray &bytes);

// Text from a record or a user with its control characters, line breaks
// and bidirectional overrides written as escapes ("\n", "\x1b", "\u202e"),
// so that what a tool prints stays on its line and cannot drive the
// terminal.
QString printable(const QString &text);

// A user's text in single quotes, written as printable() writes it.
QString quoted(const QString &text);

} // namespace console

#endif
