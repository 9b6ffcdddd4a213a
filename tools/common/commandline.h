#ifndef TOOLS_COMMANDLINE_H
#define TOOLS_COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// The tools read their command lines the same way: each option is a row of
// a table that also stores and checks its values, numbers are strict, and
// every error is one line that names the option and the value given.
namespace commandline {

// What a tool's parse comes to; each tool's arguments extend it.
struct Parsed
{
    enum Status { Run, Help, Version, Error };
    Status status = Run;
    QString message;  // the error for Error
};

// One option: its name, the name of its value (empty for a switch), its help
// line, and what stores one value into a T, returning what was expected when
// the value does not fit, else an empty string. 'commands' are the indexes
// of the commands that take it; empty for a tool without commands.
template <typename T>
struct Option
{
    QString name;
    QString valueName;
    QString description;
    std::function<QString(T &, const QString &)> store;
    QVector<int> commands = {};

    bool takenBy(int command) const { return command < 0 || commands.contains(command); }
};

// Fresh arguments with the status and message of a parse that does not run.
template <typename Arguments>
Arguments stopped(const Parsed &parsed)
{
    Arguments result;
    static_cast<Parsed &>(result) = parsed;
    return result;
}

template <typename Arguments>
Arguments failure(const QString &message)
{
    return stopped<Arguments>({Parsed::Error, message});
}

// -h/--help, -v/--version and the description; single-dash words read as
// long options ("-port 1" is "--port 1", not the letters p, o, r, t).
void addStandardOptions(QCommandLineParser &parser, const QString &description);

// The options of 'command' (all of them for -1, as the help text wants).
template <typename T>
void addOptions(QCommandLineParser &parser, const QString &description, const QVector<Option<T>> &table,
                int command = -1)
{
    addStandardOptions(parser, description);
    for (const Option<T> &option : table)
        if (option.takenBy(command))
            parser.addOption({option.name, option.description, option.valueName});
}

// "CONTEXT--NAME: expected EXPECTED, got 'VALUE'".
QString valueError(const QString &context, const QString &name, const QString &expected, const QString &value);

// Stores every value given, in the table's order, so each one is checked
// and the last one given counts; returns the first error, else empty.
template <typename T>
QString storeValues(const QCommandLineParser &parser, const QVector<Option<T>> &table, T &target,
                    int command = -1, const QString &context = QString())
{
    for (const Option<T> &option : table) {
        if (!option.takenBy(command) || !parser.isSet(option.name))
            continue;
        const QStringList values = option.valueName.isEmpty() ? QStringList{QString()} : parser.values(option.name);
        for (const QString &value : values) {
            const QString expected = option.store(target, value);
            if (!expected.isEmpty())
                return valueError(context, option.name, expected, value);
        }
    }
    return QString();
}

// QCommandLineParser's error on one line.
QString parseError(const QCommandLineParser &parser, const QString &context = QString());

// Qt's help text without its usage line, which names the executable by its
// full path and knows no commands.
QString optionsHelp(const QCommandLineParser &parser);

// "a, b or c".
QString choices(const QStringList &names);

// The status a command word alone decides: Help, Version, Error (with its
// message), or Run with the command's index in 'command'.
Parsed readCommandWord(const QString &word, const QStringList &commands, int *command);

// The help text: 'head' (the usage lines), the options, then 'tail'.
template <typename T>
QString usage(const QString &head, const QString &description, const QVector<Option<T>> &table,
              const QString &tail)
{
    QCommandLineParser parser;
    addOptions(parser, description, table);
    return head + optionsHelp(parser) + tail;
}

// Where the command word is: the first argument that is neither an option
// nor the value of one, so that options may come before the command as well
// as after it. -1 when there is none.
template <typename T>
int commandWordIndex(const QStringList &arguments, const QVector<Option<T>> &table)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            return i;
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        for (const Option<T> &option : table)
            if (option.name == name && !option.valueName.isEmpty())
                ++i;  // its value follows
    }
    return -1;
}

// The word readCommandWord() is given where no command word stands: the
// help or the version when asked for, else none.
QString wordWithoutCommand(const QStringList &arguments);

// A tool whose first argument is a command: gives the status, reads the
// command's index into 'command' and its options into 'target', and gives
// the arguments left over. The message of an Error names the command.
// Options may also come before the command.
template <typename T>
Parsed parseCommand(const QStringList &arguments, const QStringList &commands, const QString &description,
                    const QVector<Option<T>> &table, T &target, int *command, QStringList *positional)
{
    const int at = commandWordIndex(arguments, table);
    const QString word = at < 0 ? wordWithoutCommand(arguments) : arguments.at(at);
    Parsed parsed = readCommandWord(word, commands, command);
    if (parsed.status != Parsed::Run)
        return parsed;
    QStringList rest = arguments;
    rest.removeAt(at);
    QCommandLineParser parser;
    addOptions(parser, description, table, *command);
    if (!parser.parse(rest))
        return failure<Parsed>(parseError(parser, word + QStringLiteral(": ")));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        parsed.status = parser.isSet(QStringLiteral("help")) ? Parsed::Help : Parsed::Version;
        return parsed;
    }
    const QString error = storeValues(parser, table, target, *command, word + QStringLiteral(": "));
    if (!error.isEmpty())
        return failure<Parsed>(error);
    *positional = parser.positionalArguments();
    return parsed;
}

// What a tool's main does before its work: prints the help, the version or
// the error, and returns the exit status; -1 when the tool is to run.
int finishEarly(const Parsed &parsed, const QString &program, const std::function<QString()> &usage);

} // namespace commandline

#endif
