#include "recordtool/recordsjobs.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "language/language.h"
#include "common/console.h"
#include "config/uisettings.h"
#include "records/recordcsv.h"
#include "report/recordreport.h"
#include "report/typeface.h"
#include "station/forwarder.h"
#include "station/queuesender.h"
#include "station/serverdb.h"

namespace {

int fail(const QString &line)
{
    console::err(QStringLiteral("opacimeter-records: ") + line);
    return 1;
}

int databaseFault(const RecordStore &store, const QString &path)
{
    switch (store.fault()) {
    case RecordStore::Fault::Missing:
        return fail(QStringLiteral("%1: no such database").arg(path));
    case RecordStore::Fault::Locked:
        return fail(QStringLiteral("%1: locked by another program; try again later").arg(path));
    case RecordStore::Fault::Corrupt:
        return fail(QStringLiteral("%1: not a records database, or damaged").arg(path));
    case RecordStore::Fault::Unwritable:
        return fail(QStringLiteral("%1: cannot be opened").arg(path));
    default:
        return fail(QStringLiteral("%1: %2").arg(path, store.errorString()));
    }
}

// Prints why and returns false when the database cannot be read.
bool openStore(RecordStore &store, const QString &path)
{
    if (!store.open(path, RecordStore::Mode::ReadOnly)) {
        databaseFault(store, path);
        return false;
    }
    // A file SQLite takes but that holds no records tables is no records database.
    const int version = store.schemaVersion();
    if (version < 0)
        databaseFault(store, path);
    else if (version == 0)
        fail(QStringLiteral("%1: not a records database").arg(path));
    return version > 0;
}

// JSON as Qt writes it escapes the controls below 0x20 only; the rest that
// a terminal acts on is escaped here, which only strings can hold.
QString printableJson(const QJsonDocument &doc)
{
    const QString text = QString::fromUtf8(doc.toJson(QJsonDocument::Indented)).trimmed();
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || console::printable(c) == c)  // a raw line break is layout
            shown += c;
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return shown;
}

QString listLine(const RecordSummary &r)
{
    const auto number = [](const std::optional<double> &v) {
        return v ? QString::number(*v, 'f', 2) : QStringLiteral("-");
    };
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9")
        .arg(RecordTime::text(r.started).left(19), r.plate.isEmpty() ? QStringLiteral("-") : r.plate,
             r.vin.isEmpty() ? QStringLiteral("-") : r.vin, r.method, number(r.meanK),
             number(r.limitK), r.verdict.isEmpty() ? r.outcome : r.verdict,
             r.operatorName.isEmpty() ? QStringLiteral("-") : r.operatorName, r.id);
}

// Where list, show, export and report read: the lane's file or the
// station's server, with the same filters and the same output.
class Source
{
public:
    virtual ~Source() = default;
    // False when the rows could not be read.
    virtual bool query(const RecordFilter &filter, bool withJson, QVector<RecordSummary> *rows) = 0;
    // False with 'found' false when there is no such record.
    virtual bool find(const QString &id, TestRecord *record, bool *found) = 0;
    // What differs in each of these records, as RecordCheck says; a source
    // that cannot tell leaves the answer empty.
    virtual QHash<QString, QStringList> check(const QStringList &) { return {}; }
    // Prints why the last call failed; the exit status.
    virtual int fault() = 0;
    virtual QString name() const = 0;
};

class LaneSource : public Source
{
public:
    LaneSource(RecordStore &store, const QString &path) : store(store), path(path) {}
    bool query(const RecordFilter &filter, bool withJson, QVector<RecordSummary> *rows) override
    {
        *rows = store.query(filter, withJson);
        return store.fault() == RecordStore::Fault::None;
    }
    bool find(const QString &id, TestRecord *record, bool *found) override
    {
        *found = store.find(id, record);
        return *found || store.fault() == RecordStore::Fault::None;
    }
    QHash<QString, QStringList> check(const QStringList &ids) override { return store.check(ids); }
    int fault() override { return databaseFault(store, path); }
    QString name() const override { return path; }

private:
    RecordStore &store;
    QString path;
};

class StationSource : public Source
{
public:
    explicit StationSource(const settings::StationServer &server) : records(server), server(server) {}
    bool query(const RecordFilter &filter, bool withJson, QVector<RecordSummary> *rows) override
    {
        *rows = records.query(filter, withJson);
        return records.errorString().isEmpty();
    }
    bool find(const QString &id, TestRecord *record, bool *found) override
    {
        QJsonObject doc;
        *found = records.find(id, &doc);
        if (!*found)
            return records.errorString().isEmpty();
        if (TestRecord::fromJson(doc, record, &error))
            return true;
        error = QStringLiteral("record %1: %2").arg(id, error);
        return false;
    }
    int fault() override
    {
        return fail(QStringLiteral("%1: %2").arg(name(), error.isEmpty() ? records.errorString() : error));
    }
    QString name() const override
    {
        return QStringLiteral("station server %1/%2").arg(server.host, server.name);
    }

private:
    station::StationRecords records;
    settings::StationServer server;
    QString error;
};

} // namespace

namespace {

int list(Source &source, const RecordsArguments &a)
{
    QVector<RecordSummary> rows;
    if (!source.query(a.filter, a.json, &rows))
        return source.fault();
    QStringList ids;
    for (const RecordSummary &r : rows)
        ids << r.id;
    const QHash<QString, QStringList> failed = source.check(ids);
    if (!a.json) {
        for (const RecordSummary &r : rows)
            console::out(console::printable(listLine(r))
                         + (failed.contains(r.id) ? QStringLiteral("  ") + RecordCheck::failedWords()
                                                  : QString()));
        return 0;
    }
    QJsonArray out;
    for (const RecordSummary &r : rows) {
        QJsonObject line = RecordCsv::listObject(QJsonDocument::fromJson(r.json.toUtf8()).object());
        if (failed.contains(r.id))
            line.insert(QStringLiteral("check_failed"), QJsonArray::fromStringList(failed.value(r.id)));
        out.append(line);
    }
    console::out(printableJson(QJsonDocument(out)));
    return 0;
}

QStringList showLines(const TestRecord &r)
{
    QStringList lines;
    const QJsonObject json = r.toJson();
    for (const char *key : {"id", "started", "ended", "station", "lane", "operator", "plate",
                            "vin", "category", "intake", "firstRegistration", "odometerKm",
                            "plateValueK", "method", "outcome", "mean_K", "limit_K",
                            "limit_source", "verdict", "software", "meter_address",
                            "last_calibration", "hash"}) {
        const QJsonValue v = json.value(QLatin1String(key));
        lines << QStringLiteral("%1: %2").arg(QLatin1String(key),
                                              v.isDouble() ? QString::number(v.toDouble())
                                                           : v.toString());
    }
    // What a procedure profile and several outlets add; a record without them shows as before.
    if (!r.profile.isCustom())
        lines << QStringLiteral("profile: %1 (%2, version %3, sha256 %4)")
                     .arg(r.profile.id, r.profile.title, r.profile.version, r.profile.sha256)
              << QStringLiteral("limit_row: %1").arg(r.limit.row);
    QStringList outletK;
    for (double k : r.outletK)
        outletK << QString::number(k, 'f', 2);
    if (!outletK.isEmpty())
        lines << QStringLiteral("outlet_K: %1").arg(outletK.join(QLatin1Char(' ')));
    for (int i = 0; i < r.snaps.size(); ++i) {
        const RecordSnap &s = r.snaps.at(i);
        lines << QStringLiteral("snap %1: %2 peak_K %3 peak_N %4 %5 ms%6%7")
                     .arg(s.outlet ? QStringLiteral("%1-%2").arg(s.outlet).arg(i + 1) : QString::number(i + 1))
                     .arg(RecordTime::text(s.time)).arg(s.peakK, 0, 'f', 2)
                     .arg(s.peakN, 0, 'f', 1).arg(s.durationMs)
                     .arg(s.counted ? QStringLiteral(" counted") : QString())
                     .arg(s.purge ? QStringLiteral(" purge") : QString());
    }
    return lines;
}

bool findRecord(Source &source, const RecordsArguments &a, TestRecord *record, int *status)
{
    bool found = false;
    if (!source.find(a.id, record, &found))
        *status = source.fault();
    else if (!found)
        *status = fail(QStringLiteral("no record %1 in %2").arg(console::quoted(a.id), source.name()));
    return found && *status == 0;
}

int show(Source &source, const RecordsArguments &a)
{
    TestRecord record;
    int status = 0;
    if (!findRecord(source, a, &record, &status))
        return status;
    // The JSON stays as stored, for whoever checks its hash; the mark goes
    // to the error stream then.
    const QStringList differ = source.check({record.id}).value(record.id);
    const QString mark = differ.isEmpty() ? QString()
                                          : QStringLiteral("%1: %2").arg(RecordCheck::failedWords(),
                                                                         differ.join(QStringLiteral(", ")));
    if (a.json) {
        if (!mark.isEmpty())
            console::err(mark);
        console::out(printableJson(QJsonDocument(record.toJson())));
    } else {
        if (!mark.isEmpty())
            console::out(mark);
        for (const QString &line : showLines(record))
            console::out(console::printable(line));
    }
    return 0;
}

int exportCsv(Source &source, const RecordsArguments &a)
{
    QVector<RecordSummary> rows;
    if (!source.query(a.filter, true, &rows))
        return source.fault();
    QString error;
    if (!RecordCsv::write(a.csvPath, rows, &error, a.byteOrderMark))
        return fail(QStringLiteral("cannot write %1: %2").arg(a.csvPath, error));
    console::err(QStringLiteral("exported %1 records to %2").arg(rows.size()).arg(a.csvPath));
    return 0;
}

int report(Source &source, const RecordsArguments &a)
{
    TestRecord record;
    int status = 0;
    if (!findRecord(source, a, &record, &status))
        return status;
    // The page speaks the lane's language, in the program's typeface; what
    // the tool prints does neither.
    Typeface::useFormFamily();
    Language::switchTo(settings::storedLanguage());
    QString error;
    RecordReport page(record);
    page.markCheckFailed(!source.check({record.id}).isEmpty());
    if (!page.writePdf(a.pdfPath, &error))
        return fail(QStringLiteral("cannot write %1").arg(a.pdfPath));
    return 0;
}

// Every record whose shown columns or content disagree with its hash, one
// line each with what differs.
int verify(RecordStore &store, const RecordsArguments &a)
{
    int checked = 0;
    int differing = 0;
    const bool read = store.forEachStored([&](const StoredRecord &row) {
        ++checked;
        const QStringList differ = RecordCheck::differences(row);
        if (!differ.isEmpty()) {
            ++differing;
            console::out(QStringLiteral("%1  %2: %3").arg(console::printable(row.id),
                                                          RecordCheck::failedWords(),
                                                          differ.join(QStringLiteral(", "))));
        }
        return true;
    });
    if (!read)
        return databaseFault(store, a.database);
    console::err(QStringLiteral("%1 records checked, %2 differ").arg(checked).arg(differing));
    return differing ? 1 : 0;
}

// The queue sent once, for a lane PC's shutdown script: 0 when nothing is
// left queued, 1 when records remain or are set aside (each named).
int sync(const RecordsArguments &a)
{
    const station::SyncResult result = station::syncOnce(a.database, a.server, {}, a.retryRefused);
    if (result.remaining < 0)
        return fail(QStringLiteral("%1: %2").arg(a.database, result.error));
    console::out(QStringLiteral("sent %1, remaining %2").arg(result.sent).arg(result.remaining));
    for (int i = 0; i < result.refusedIds.size(); ++i) {
        const bool differs = result.refusedReasons.at(i) == QString::fromUtf8(station::QueueSender::DiffersText);
        console::out(differs ? QStringLiteral("differs %1: the station holds another record under this id")
                                   .arg(result.refusedIds.at(i))
                             : QStringLiteral("refused %1: %2").arg(result.refusedIds.at(i), result.refusedReasons.at(i)));
    }
    if (result.remaining > 0)
        return fail(QStringLiteral("%1 records remain queued: %2")
                        .arg(result.remaining)
                        .arg(result.error.isEmpty() ? QStringLiteral("stored while sending; run sync again")
                                                    : result.error));
    if (!result.refusedIds.isEmpty())
        return fail(QStringLiteral("%1 records set aside by the station; mend the cause and run sync --retry-refused")
                        .arg(result.refusedIds.size()));
    return 0;
}

int runOn(Source &source, const RecordsArguments &arguments)
{
    switch (arguments.command) {
    case RecordsArguments::List:
        return list(source, arguments);
    case RecordsArguments::Show:
        return show(source, arguments);
    case RecordsArguments::Export:
        return exportCsv(source, arguments);
    case RecordsArguments::Report:
        return report(source, arguments);
    case RecordsArguments::Verify:
    case RecordsArguments::Sync:
    case RecordsArguments::Lane:
        break;
    }
    return 2;
}

} // namespace

int runRecordsCommand(const RecordsArguments &arguments)
{
    if (arguments.command == RecordsArguments::Sync)
        return sync(arguments);
    if (arguments.fromServer && arguments.command != RecordsArguments::Verify) {
        StationSource station(arguments.server);
        return runOn(station, arguments);
    }
    RecordStore store;
    if (!openStore(store, arguments.database))
        return 1;
    if (arguments.command == RecordsArguments::Verify)
        return verify(store, arguments);
    LaneSource lane(store, arguments.database);
    return runOn(lane, arguments);
}
