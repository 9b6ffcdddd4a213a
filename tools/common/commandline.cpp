#include "common/commandline.h"

#include "common/console.h"

namespace commandline {

void addStandardOptions(QCommandLineParser &parser, const QString &description)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(description);
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Displays the version.")});
}

QString valueError(const QString &context, const QString &name, const QString &expected, const QString &value)
{
    return QStringLiteral("%1--%2: expected %3, got %4").arg(context, name, expected, console::quoted(value));
}

QString parseError(const QCommandLineParser &parser, const QString &context)
{
    return context + parser.errorText().replace(QLatin1Char('\n'), QLatin1String("\\n"))
           + QStringLiteral(" See --help.");
}

QString optionsHelp(const QCommandLineParser &parser)
{
    const QString generated = parser.helpText();
    return generated.mid(generated.indexOf(QLatin1Char('\n')) + 1);
}

QString choices(const QStringList &names)
{
    return names.size() < 2 ? names.value(0)
                            : names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ")
                                  + names.last();
}

Parsed readCommandWord(const QString &word, const QStringList &commands, int *command)
{
    Parsed parsed;
    *command = commands.indexOf(word);
    if (word.isEmpty())
        return failure<Parsed>(QStringLiteral("missing command: %1. See --help.").arg(choices(commands)));
    if (word == QLatin1String("help") || word == QLatin1String("--help") || word == QLatin1String("-h"))
        parsed.status = Parsed::Help;
    else if (word == QLatin1String("--version") || word == QLatin1String("-v"))
        parsed.status = Parsed::Version;
    else if (*command < 0)
        return failure<Parsed>(
            QStringLiteral("unknown command %1: use %2").arg(console::quoted(word), choices(commands)));
    return parsed;
}

QString wordWithoutCommand(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")
            || argument == QLatin1String("-help"))
            return QStringLiteral("--help");
    }
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")
            || argument == QLatin1String("-version"))
            return QStringLiteral("--version");
    }
    return QString();
}

int finishEarly(const Parsed &parsed, const QString &program, const std::function<QString()> &usage)
{
    switch (parsed.status) {
    case Parsed::Help:
        console::out(usage());
        return 0;
    case Parsed::Version:
        console::out(program + QStringLiteral(" " OPA_VERSION));
        return 0;
    case Parsed::Error:
        console::err(program + QStringLiteral(": ") + parsed.message);
        return 2;
    case Parsed::Run:
        break;
    }
    return -1;
}

} // namespace commandline
