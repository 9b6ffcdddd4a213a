#include "recordtool/recordsoptions.h"

#include "common/commandline.h"
#include "common/console.h"

namespace {

const QStringList CommandNames = {QStringLiteral("list"), QStringLiteral("show"),
                                  QStringLiteral("export"), QStringLiteral("report"),
                                  QStringLiteral("verify"), QStringLiteral("sync"),
                                  QStringLiteral("lane")};

using A = RecordsArguments;
using Option = commandline::Option<A>;

const QString Description =
    QStringLiteral("Reads the lane's test records: lists, shows, exports, prints and checks them; "
                   "runs the lane without a window.");

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

const QVector<int> ServerCommands = {A::List, A::Show, A::Export, A::Report, A::Sync};

// The lane's file and what a command reads or writes.
const QVector<Option> &recordOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("db"), QStringLiteral("FILE"),
         QStringLiteral("The lane's records database (set.ini's [Database] File, else "
                        "results/opacimeter.sqlite)."),
         [](A &a, const QString &v) { return text(v, &a.database, "a file name"); },
         {A::List, A::Show, A::Export, A::Report, A::Verify, A::Sync}},
        {QStringLiteral("plate"), QStringLiteral("TEXT"),
         QStringLiteral("list, export: records whose plate holds TEXT."),
         [](A &a, const QString &v) { return text(v, &a.filter.plate, "some text"); },
         {A::List, A::Export}},
        {QStringLiteral("vin"), QStringLiteral("TEXT"),
         QStringLiteral("list, export: records whose VIN holds TEXT."),
         [](A &a, const QString &v) { return text(v, &a.filter.vin, "some text"); },
         {A::List, A::Export}},
        {QStringLiteral("since"), QStringLiteral("DATE"),
         QStringLiteral("list, export: records started on DATE or later (yyyy-MM-dd)."),
         [](A &a, const QString &v) { return date(v, &a.filter.since); },
         {A::List, A::Export}},
        {QStringLiteral("until"), QStringLiteral("DATE"),
         QStringLiteral("list, export: records started on DATE or earlier (yyyy-MM-dd)."),
         [](A &a, const QString &v) { return date(v, &a.filter.until); },
         {A::List, A::Export}},
        {QStringLiteral("json"), QString(),
         QStringLiteral("list, show: print JSON."),
         [](A &a, const QString &) { a.json = true; return QString(); },
         {A::List, A::Show}},
        {QStringLiteral("csv"), QStringLiteral("FILE"),
         QStringLiteral("export: the CSV file to write."),
         [](A &a, const QString &v) { return text(v, &a.csvPath, "a file name"); },
         {A::Export}},
        {QStringLiteral("no-bom"), QString(),
         QStringLiteral("export: no UTF-8 byte-order mark at the start, for programs that do not expect one."),
         [](A &a, const QString &) { a.byteOrderMark = false; return QString(); },
         {A::Export}},
        {QStringLiteral("retry-refused"), QString(),
         QStringLiteral("sync: queue the records the station refused again first."),
         [](A &a, const QString &) { a.retryRefused = true; return QString(); },
         {A::Sync}},
        {QStringLiteral("pdf"), QStringLiteral("FILE"),
         QStringLiteral("report: the PDF file to write."),
         [](A &a, const QString &v) { return text(v, &a.pdfPath, "a file name"); },
         {A::Report}},
    };
    return table;
}

// The station's server, in place of set.ini's keys.
const QVector<Option> &serverOptions()
{
    static const QVector<Option> table = {
        {QStringLiteral("server-host"), QStringLiteral("HOST"),
         QStringLiteral("The station's server: a host, an address or a unix socket folder; "
                        "list, show, export and report read it instead of the file."),
         [](A &a, const QString &v) { a.fromServer = true; return text(v, &a.server.host, "a host"); },
         ServerCommands},
        {QStringLiteral("server-port"), QStringLiteral("PORT"),
         QStringLiteral("The server's port (set.ini, else 5432)."),
         [](A &a, const QString &v) { return port(v, &a.server.port); },
         ServerCommands},
        {QStringLiteral("server-name"), QStringLiteral("NAME"),
         QStringLiteral("The station's database (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.name, "a database name"); },
         ServerCommands},
        {QStringLiteral("server-user"), QStringLiteral("USER"),
         QStringLiteral("The role to log in as (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.user, "a user name"); },
         ServerCommands},
        {QStringLiteral("password-file"), QStringLiteral("FILE"),
         QStringLiteral("A file whose first line is the password, readable by its owner only (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.passwordFile, "a file name"); },
         ServerCommands},
        {QStringLiteral("sslmode"), QStringLiteral("MODE"),
         QStringLiteral("libpq's sslmode (set.ini)."),
         [](A &a, const QString &v) { return text(v, &a.server.sslMode, "a mode"); },
         ServerCommands},
    };
    return table;
}

const QVector<Option> &optionTable()
{
    static const QVector<Option> table = recordOptions() + serverOptions();
    return table;
}

A failure(const QString &message)
{
    return commandline::failure<A>(message);
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
    return commandline::usage(QStringLiteral(
               "Usage: opacimeter-records list [--plate TEXT] [--vin TEXT] [--since DATE] "
               "[--until DATE] [--json] [--db FILE]\n"
               "       opacimeter-records show ID [--json] [--db FILE]\n"
               "       opacimeter-records export --csv FILE [--plate TEXT] [--vin TEXT] "
               "[--since DATE] [--until DATE] [--no-bom] [--db FILE]\n"
               "       opacimeter-records report ID --pdf FILE [--db FILE]\n"
               "       opacimeter-records verify [--db FILE]\n"
               "       opacimeter-records sync [--retry-refused] [--db FILE]\n"
               "       opacimeter-records lane\n"
               "  list, show, export, report and sync also take [--server-host HOST] [--server-port PORT]\n"
               "  [--server-name NAME] [--server-user USER] [--password-file FILE] [--sslmode MODE]\n\n"),
        Description, optionTable(),
        QStringLiteral(
               "\n"
               "Commands:\n"
               "  list     the records, newest first\n"
               "  show     one record with its vehicle and snaps\n"
               "  export   the listed records as CSV\n"
               "  report   one record's printed report as an A4 PDF\n"
               "  verify   recompute every record's hash and print the ids that differ\n"
               "  sync     send the records queued for the station's server once, and name\n"
               "           those it set aside (refused, or held otherwise under their id)\n"
               "  lane     run the lane of set.ini in this folder without a window, as the\n"
               "           program does (meter, records, station, API, companion), until\n"
               "           SIGINT, SIGTERM or SIGHUP; prints the link's state and each record kept\n"
               "\n"
               "Options may stand before or after the command. export writes UTF-8 with a\n"
               "byte-order mark, so that spreadsheets read it as UTF-8.\n"
               "The lane database is set.ini's [Database] File, else results/opacimeter.sqlite;\n"
               "the server's settings come from set.ini's [Database] keys where no option gives\n"
               "them. The tool only reads the database, except that sync marks what it sent\n"
               "and lane keeps the records of its tests as the program does.\n"
               "Exit status: 0 on success, 1 when a record is not found, verify finds a\n"
               "difference, sync leaves records queued or set aside or a database cannot be read,\n"
               "2 on bad arguments."));
}

RecordsArguments parseRecordsArguments(const QStringList &arguments,
                                       const settings::StationServer &stored, const QString &database)
{
    A result;
    result.server = stored;
    if (!database.isEmpty())
        result.database = database;
    int command = -1;
    QStringList positional;
    const commandline::Parsed parsed =
        commandline::parseCommand(arguments, CommandNames, Description, optionTable(), result, &command, &positional);
    if (parsed.status != A::Run)
        return commandline::stopped<A>(parsed);
    result.command = A::Command(command);
    return completed(result, CommandNames.at(command), positional);
}
