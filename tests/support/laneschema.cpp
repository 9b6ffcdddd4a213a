#include "laneschema.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace testsupport {

namespace {

const char *const Schema[] = {
    "PRAGMA journal_mode=WAL",
    "CREATE TABLE IF NOT EXISTS records (id TEXT PRIMARY KEY, started TEXT NOT NULL, ended TEXT,"
    " plate TEXT, vin TEXT, verdict TEXT, operator TEXT, station TEXT, lane TEXT,"
    " json TEXT NOT NULL, hash TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS forward_queue (seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " record_id TEXT NOT NULL UNIQUE REFERENCES records(id), queued TEXT NOT NULL,"
    " sent TEXT, last_error TEXT)",
    "PRAGMA user_version=1",
};

QString iso(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

LaneDb::LaneDb(const QString &path) : file(path)
{
    static QAtomicInt serial;
    name = QStringLiteral("lanedb-%1").arg(serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    open = db.open();
    for (const char *sql : Schema)
        open = open && exec(QLatin1String(sql));
}

LaneDb::~LaneDb()
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

bool LaneDb::exec(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    if (query.exec(sql))
        return true;
    qWarning("lane db: %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    return false;
}

bool LaneDb::add(const QJsonObject &record)
{
    QSqlDatabase db = QSqlDatabase::database(name, false);
    QSqlQuery query(db);
    db.transaction();
    query.prepare(QStringLiteral("INSERT INTO records (id, started, ended, plate, vin, verdict, operator,"
                                 " station, lane, json, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const char *key : {"id", "started", "ended", "plate", "vin", "verdict", "operator", "station", "lane"})
        query.addBindValue(record.value(QLatin1String(key)).toVariant());
    query.addBindValue(QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)));
    query.addBindValue(record.value(QLatin1String("hash")).toString());
    bool ok = query.exec();
    query.prepare(QStringLiteral("INSERT INTO forward_queue (record_id, queued) VALUES (?, ?)"));
    query.addBindValue(record.value(QLatin1String("id")).toString());
    query.addBindValue(iso(QDateTime::currentDateTime()));
    ok = ok && query.exec();
    if (!ok) {
        qWarning("lane db: %s", qPrintable(query.lastError().text()));
        db.rollback();
        return false;
    }
    return db.commit();
}

QStringList LaneDb::ids(const QString &sql)
{
    QStringList out;
    QSqlQuery query(QSqlDatabase::database(name, false));
    query.exec(sql);
    while (query.next())
        out << query.value(0).toString();
    return out;
}

int LaneDb::pending()
{
    return ids(QStringLiteral("SELECT record_id FROM forward_queue WHERE sent IS NULL")).size();
}

QStringList LaneDb::queuedIds()
{
    return ids(QStringLiteral("SELECT record_id FROM forward_queue ORDER BY seq"));
}

QStringList LaneDb::sentIds()
{
    return ids(QStringLiteral("SELECT record_id FROM forward_queue WHERE sent IS NOT NULL ORDER BY seq"));
}

QString LaneDb::lastError(const QString &recordId)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    query.prepare(QStringLiteral("SELECT last_error FROM forward_queue WHERE record_id = ?"));
    query.addBindValue(recordId);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

QJsonObject makeRecord(const QString &plate, const QString &vin, const QDateTime &started,
                       const QString &station, const QString &lane, int n)
{
    const double k = 1.0 + n % 50 / 100.0;
    QJsonObject snap{{"time", iso(started.addSecs(5))}, {"peak_K", k}, {"peak_N", 40.5}, {"duration_ms", 800}, {"counted", true}};
    QJsonObject r{
        {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
        {"started", iso(started)}, {"ended", iso(started.addSecs(60))},
        {"station", station}, {"lane", lane}, {"operator", QStringLiteral("张工")},
        {"plate", plate}, {"vin", vin}, {"category", "N1"}, {"intake", "turbo"},
        {"firstRegistration", "2015-03-01"}, {"odometerKm", 123456}, {"plateValueK", QJsonValue::Null},
        {"method", "R24"}, {"rules", QJsonObject{{"counted", 4}, {"band", 0.5}, {"rejectDecreasing", true}, {"maxSnaps", 10}}},
        {"snaps", QJsonArray{snap, snap, snap, snap}}, {"peaks_K", QJsonArray{k, k, k, k}}, {"mean_K", k},
        {"valid", true}, {"outcome", "valid"}, {"limit_K", 3.0}, {"limit_source", "table"},
        {"verdict", k > 3.0 ? "fail" : "pass"}, {"software", "1.0"}, {"meter_address", "127.0.0.1"},
        {"last_calibration", QJsonValue::Null},
        {"trace", QJsonObject{{"period_ms", 100}, {"t_ms", QJsonArray{0, 100, 200}},
                              {"K", QJsonArray{0.1, QJsonValue::Null, k}}, {"N", QJsonArray{4.2, 5.0, 40.5}}}},
    };
    r.insert(QStringLiteral("hash"), QString::fromLatin1(QCryptographicHash::hash(
        QJsonDocument(r).toJson(QJsonDocument::Compact), QCryptographicHash::Sha256).toHex()));
    return r;
}

} // namespace testsupport
