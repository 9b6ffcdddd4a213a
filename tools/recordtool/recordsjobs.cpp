#include "recordtool/recordsjobs.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "common/console.h"
#include "records/recordcsv.h"
#include "report/recordreport.h"

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

} // namespace

namespace {

int list(RecordStore &store, const RecordsArguments &a)
{
    const QVector<RecordSummary> rows = store.query(a.filter, a.json);
    if (store.fault() != RecordStore::Fault::None)
        return databaseFault(store, a.database);
    if (!a.json) {
        for (const RecordSummary &r : rows)
            console::out(listLine(r));
        return 0;
    }
    QJsonArray out;
    for (const RecordSummary &r : rows)
        out.append(RecordCsv::listObject(QJsonDocument::fromJson(r.json.toUtf8()).object()));
    console::out(QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Indented)).trimmed());
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
    for (int i = 0; i < r.snaps.size(); ++i) {
        const RecordSnap &s = r.snaps.at(i);
        lines << QStringLiteral("snap %1: %2 peak_K %3 peak_N %4 %5 ms%6")
                     .arg(i + 1).arg(RecordTime::text(s.time)).arg(s.peakK, 0, 'f', 2)
                     .arg(s.peakN, 0, 'f', 1).arg(s.durationMs)
                     .arg(s.counted ? QStringLiteral(" counted") : QString());
    }
    return lines;
}

bool findRecord(RecordStore &store, const RecordsArguments &a, TestRecord *record, int *status)
{
    if (store.find(a.id, record))
        return true;
    *status = store.fault() == RecordStore::Fault::None
                  ? fail(QStringLiteral("no record %1 in %2").arg(console::quoted(a.id), a.database))
                  : databaseFault(store, a.database);
    return false;
}

int show(RecordStore &store, const RecordsArguments &a)
{
    TestRecord record;
    int status = 0;
    if (!findRecord(store, a, &record, &status))
        return status;
    if (a.json)
        console::out(QString::fromUtf8(QJsonDocument(record.toJson()).toJson()).trimmed());
    else
        console::out(showLines(record).join(QLatin1Char('\n')));
    return 0;
}

int exportCsv(RecordStore &store, const RecordsArguments &a)
{
    const QVector<RecordSummary> rows = store.query(a.filter, true);
    if (store.fault() != RecordStore::Fault::None)
        return databaseFault(store, a.database);
    QString error;
    if (!RecordCsv::write(a.csvPath, rows, &error))
        return fail(QStringLiteral("cannot write %1: %2").arg(a.csvPath, error));
    console::err(QStringLiteral("exported %1 records to %2").arg(rows.size()).arg(a.csvPath));
    return 0;
}

int report(RecordStore &store, const RecordsArguments &a)
{
    TestRecord record;
    int status = 0;
    if (!findRecord(store, a, &record, &status))
        return status;
    QString error;
    if (!RecordReport(record).writePdf(a.pdfPath, &error))
        return fail(QStringLiteral("cannot write %1").arg(a.pdfPath));
    return 0;
}

int verify(RecordStore &store, const RecordsArguments &a)
{
    int checked = 0;
    int differing = 0;
    const bool read = store.forEachRecord([&](const QString &id, const QString &json,
                                              const QString &hash) {
        ++checked;
        const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
        const QString computed = TestRecord::hashOf(object);
        if (object.isEmpty() || computed != hash
            || object.value(QStringLiteral("hash")).toString() != hash
            || object.value(QStringLiteral("id")).toString() != id) {
            ++differing;
            console::out(id);
        }
        return true;
    });
    if (!read)
        return databaseFault(store, a.database);
    console::err(QStringLiteral("%1 records checked, %2 differ").arg(checked).arg(differing));
    return differing ? 1 : 0;
}

} // namespace

int runRecordsCommand(const RecordsArguments &arguments)
{
    RecordStore store;
    if (!openStore(store, arguments.database))
        return 1;
    switch (arguments.command) {
    case RecordsArguments::List:
        return list(store, arguments);
    case RecordsArguments::Show:
        return show(store, arguments);
    case RecordsArguments::Export:
        return exportCsv(store, arguments);
    case RecordsArguments::Report:
        return report(store, arguments);
    case RecordsArguments::Verify:
        return verify(store, arguments);
    }
    return 2;
}
