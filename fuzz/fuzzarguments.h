#ifndef TESTS_FUZZARGUMENTS_H
#define TESTS_FUZZARGUMENTS_H

#include <QRegularExpression>
#include <QStringList>

#include <cstdint>

// The arguments after the program's name, NUL-separated as in argv, so an
// argument may hold a newline ("5\n" must not pass for a number).
inline QStringList fuzzArguments(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    return size ? text.split(QLatin1Char('\0')) : QStringList();
}

// Whether one of 'numberOptions' was given a value with a line break in it.
inline bool numberWithLineBreak(const QStringList &arguments, const QStringList &numberOptions)
{
    static const QRegularExpression dashes(QStringLiteral("^-+"));
    for (int i = 0; i + 1 < arguments.size(); ++i)
        if (arguments.at(i + 1).contains(QLatin1Char('\n'))
            && numberOptions.contains(QString(arguments.at(i)).remove(dashes)))
            return true;
    return false;
}

#endif
