#include "recordtool/recordsoptions.h"

#include <QCommandLineParser>
#include <QVector>

#include <functional>

#include "common/console.h"

namespace {

// Stores one value of an option; returns what was expected when the value
// does not fit, or an empty string.
using Store = std::function<QString(RecordsArguments &, const QString &)>;

struct OptionRow
{
    QVector<RecordsArguments::Command> commands;  // the commands that take it
    QString name;
    QString valueName;  // empty for a switch
    QString description;
    Store store;
};

const QStringList CommandNames = {QStringLiteral("list"), QStringLiteral("show"),
                                  QStringLiteral("export"), QStringLiteral("report"),
                                  QStringLiteral("verify"), QStringLiteral("sync")};

using A = RecordsArguments;

QString date(const QString &value, QDate *out)
{
    *out = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
    return out->isValid() ? QString() : QStringLiteral("a date as yyyy-MM-dd");
}

QString text(const QString &value, QString *out, const char *expected)
{
    *out = value;
    return value.trimmed().isEmpty() ? QLatin1String(expected) : QString();
}

QString port(const QString &value, int *out)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    *out = n;
    return ok && n > 0 && n < 65536 && value == QString::number(n) ? QString()
                                                                    : QStringLiteral("a port number from 1 to 65535");
}

const QVector<A::Command> ServerCommands = {A::List, A::Show, A::Export, A::Report, A::Sync};

const QVector<OptionRow> &optionTable()
{
    static const QVector<OptionRow> table = {
        {{A::List, A::Show, A::Export, A::Report, A::Verify, A::Sync}, QStringLiteral("db"),
         QStringLiteral("FILE"),
         QStringLiteral("The lane's records database (set.ini's [Database] File, else "
                        "results/opacimeter.sqlite)."),
         [](A &a, const QString &v) { return text(v, &a.database, "a file name"); }},
        {{A::List, A::Export}, QStringLiteral("plate"), QStringLiteral("TEXT"),
         QStringLiteral("list, export: records whose plate holds TEXT."),
         [](A &a, const QString &v) { return text(v, &a.filter.plate, "some text"); }},
        {{A::List, A::Export}, QStringLiteral("vin"), QStringLiteral("TEXT"),
         QStringLiteral("list, export: records whose VIN holds TEXT."),
         [](A &a, const QString &v) { return text(v, &a.filter.vin, "some text"); }},
        {{A::List, A::Export}, QStringLiteral("since"), QStringLiteral("DATE"),
         QStringLiteral("list, export: records started on DATE or later (yyyy-MM-dd)."),
         [](A &a, const QString &v) { return date(v, &a.filter.since); }},
        {{A::List, A::Export}, QStringLiteral("until"), QStringLiteral("DATE"),
         QStringLiteral("list, export: records started on DATE or earlier (yyyy-MM-dd)."),
         [](A &a, const QString &v) { return date(v, &a.filter.until); }},
        {{A::List, A::Show}, QStringLiteral("json"), QString(),
         QStringLiteral("list, show: print JSON."),
         [](A &a, const QString &) { a.json = true; return QString(); }},
        {{A::Export}, QStringLiteral("csv"), QStringLiteral("FILE"),
         QStringLiteral("export: the CSV file to write."),
         [](A &a, const QString &v) { return text(v, &a.csvPath, "a file name"); }},
        {{A::Report}, QStringLiteral("pdf"), QStringLiteral("FILE"),
         QStringLiteral("report: the PDF file to write."),
         [](A &a, const QString &v) { return text(v, &a.pdfPath, "a file name"); }},
        {ServerCommands, QStringLiteral("server-host"), QStringLiteral("HOST"),
         QStringLiteral("The station's server: a host, an address or a unix socket folder; "
                        "list, show, export and report read it instead of the file."),
         [](A &a, const QString &v) { a.fromServer = true; return text(v, &a.server.host, "a host"); }},
        {ServerCommands, QStringLiteral("server-port"), QStringLiteral("PORT"),
         QStringLiteral("The server's port (set.ini, else 5432)."),
         [](A &a, const QString &v) { return port(v, &a.server.port); }},
        {ServerCommands, QStringLiteral("server-name"), QStringLiteral("NAME"),
         QStringLiteral("The station's database (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.name, "a database name"); }},
        {ServerCommands, QStringLiteral("server-user"), QStringLiteral("USER"),
         QStringLiteral("The role to log in as (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.user, "a user name"); }},
        {ServerCommands, QStringLiteral("password-file"), QStringLiteral("FILE"),
         QStringLiteral("A file whose first line is the password, readable by its owner only (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.passwordFile, "a file name"); }},
        {ServerCommands, QStringLiteral("sslmode"), QStringLiteral("MODE"),
         QStringLiteral("libpq's sslmode (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.sslMode, "a mode"); }},
    };
    return table;
}

void addOptions(QCommandLineParser &parser, int command = -1)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Reads the lane's test records: lists, shows, exports, prints and checks them."));
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")},
                      QStringLiteral("Displays this help.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("Displays the version.")});
    for (const OptionRow &option : optionTable())
        if (command < 0 || option.commands.contains(A::Command(command)))
            parser.addOption({option.name, option.description, option.valueName});
}

A failure(const QString &message)
{
    A result;
    result.status = A::Error;
    result.message = message;
    return result;
}

// The id and the options a command cannot do without.
A completed(A result, const QString &command, const QStringList &positional)
{
    const bool wantsId = result.command == A::Show || result.command == A::Report;
    if (wantsId && positional.size() != 1)
        return failure(command + QStringLiteral(": expected one record id"));
    if (!wantsId && !positional.isEmpty())
        return failure(QStringLiteral("%1: unexpected argument %2")
                           .arg(command, console::quoted(positional.first())));
    result.id = positional.value(0);
    if (result.command == A::Export && result.csvPath.isEmpty())
        return failure(QStringLiteral("export: --csv FILE is required"));
    if (result.command == A::Report && result.pdfPath.isEmpty())
        return failure(QStringLiteral("report: --pdf FILE is required"));
    if (result.command == A::Sync && !result.server.enabled())
        return failure(QStringLiteral("sync: no station server: give --server-host or set "
                                      "[Database] ServerHost in set.ini"));
    if (result.filter.since.isValid() && result.filter.until.isValid()
        && result.filter.since > result.filter.until)
        return failure(command + QStringLiteral(": --since is after --until"));
    return result;
}

} // namespace

QString recordsUsage()
{
    QCommandLineParser parser;
    addOptions(parser);
    const QString generated = parser.helpText();
    return QStringLiteral(
               "Usage: opacimeter-records list [--plate TEXT] [--vin TEXT] [--since DATE] "
               "[--until DATE] [--json] [--db FILE]\n"
               "       opacimeter-records show ID [--json] [--db FILE]\n"
               "       opacimeter-records export --csv FILE [--plate TEXT] [--vin TEXT] "
               "[--since DATE] [--until DATE] [--db FILE]\n"
               "       opacimeter-records report ID --pdf FILE [--db FILE]\n"
               "       opacimeter-records verify [--db FILE]\n"
               "       opacimeter-records sync [--db FILE]\n"
               "  list, show, export, report and sync also take [--server-host HOST] [--server-port PORT]\n"
               "  [--server-name NAME] [--server-user USER] [--password-file FILE] [--sslmode MODE]\n\n")
           + generated.mid(generated.indexOf(QLatin1Char('\n')) + 1)
           + QStringLiteral(
               "\n"
               "Commands:\n"
               "  list     the records, newest first\n"
               "  show     one record with its vehicle and snaps\n"
               "  export   the listed records as CSV\n"
               "  report   one record's printed report as an A4 PDF\n"
               "  verify   recompute every record's hash and print the ids that differ\n"
               "  sync     send the records queued for the station's server once\n"
               "\n"
               "The lane database is set.ini's [Database] File, else results/opacimeter.sqlite;\n"
               "the server's settings come from set.ini's [Database] keys where no option gives\n"
               "them. The tool only reads the database, except that sync marks what it sent.\n"
               "Exit status: 0 on success, 1 when a record is not found, verify finds a\n"
               "difference, sync leaves records queued or a database cannot be read,\n"
               "2 on bad arguments.");
}

RecordsArguments parseRecordsArguments(const QStringList &arguments,
                                       const settings::StationServer &stored, const QString &database)
{
    const QString command = arguments.value(1);
    A result;
    result.server = stored;
    if (!database.isEmpty())
        result.database = database;
    if (command.isEmpty())
        return failure(QStringLiteral("missing command: list, show, export, report, verify or sync. "
                                      "See --help."));
    for (const char *help : {"help", "--help", "-h"})
        if (command == QLatin1String(help)) {
            result.status = A::Help;
            return result;
        }
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        result.status = A::Version;
        return result;
    }
    const int index = CommandNames.indexOf(command);
    if (index < 0)
        return failure(QStringLiteral("unknown command %1: use list, show, export, report, verify or sync")
                           .arg(console::quoted(command)));
    result.command = A::Command(index);

    QCommandLineParser parser;
    addOptions(parser, index);
    if (!parser.parse(QStringList{arguments.first()} + arguments.mid(2)))
        return failure(command + QStringLiteral(": ")
                       + parser.errorText().replace(QLatin1Char('\n'), QLatin1String("\\n"))
                       + QStringLiteral(" See --help."));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        result.status = parser.isSet(QStringLiteral("help")) ? A::Help : A::Version;
        return result;
    }
    for (const OptionRow &option : optionTable()) {
        if (!option.commands.contains(result.command) || !parser.isSet(option.name))
            continue;
        const QStringList values = option.valueName.isEmpty() ? QStringList{QString()}
                                                              : parser.values(option.name);
        for (const QString &value : values) {
            const QString expected = option.store(result, value);
            if (!expected.isEmpty())
                return failure(QStringLiteral("%1: --%2: expected %3, got %4")
                                   .arg(command, option.name, expected, console::quoted(value)));
        }
    }

    return completed(result, command, parser.positionalArguments());
}
