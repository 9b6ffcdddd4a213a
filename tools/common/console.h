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

// A user's text in single quotes, control characters written as escapes,
// so that an error message about it stays on one line.
QString quoted(const QString &text);

} // namespace console

#endif
