// Reading the store: the history, one record, the vehicles, the meter's events.
#include "records/recordstore.h"

#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "records/historysql.h"

namespace {

std::optional<double> optionalNumber(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

QString storedColumns(const QString &kindColumn)
{
    return QStringLiteral("SELECT id, started, ended, plate, vin, verdict, operator, station, "
                          "lane, method, outcome, mean_k, limit_k, hash, json, %1 FROM records")
        .arg(kindColumn);
}

StoredRecord storedRow(const QSqlQuery &q)
{
    return {q.value(0).toString(), q.value(1), q.value(2),  q.value(3),  q.value(4),
            q.value(5),            q.value(6), q.value(7),  q.value(8),  q.value(9),
            q.value(10),           q.value(11), q.value(12), q.value(13).toString(),
            q.value(14).toString(), q.value(15)};
}

} // namespace

QString RecordStore::kindColumn()
{
    return schemaVersion() >= 4 ? QStringLiteral("kind") : QStringLiteral("'test'");
}

QVector<RecordSummary> RecordStore::query(const RecordFilter &filter, bool withJson)
{
    QVector<RecordSummary> rows;
    const HistorySql history(HistorySql::Dialect::SQLite, kindColumn());
    QVariantList values;
    const QString sql = QStringLiteral("SELECT id, started, plate, vin, method, outcome, mean_k, "
                                 "limit_k, verdict, operator%1 FROM records")
                      .arg(withJson ? QStringLiteral(", json") : QString())
                  + history.where(filter, &values) + history.orderAndLimit(filter);
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        failWith(q.lastError());
        return rows;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!run(q))
        return rows;
    while (q.next()) {
        RecordSummary r{q.value(0).toString(), RecordTime::parse(q.value(1).toString()),
                        q.value(2).toString(), q.value(3).toString(), q.value(4).toString(),
                        q.value(5).toString(), optionalNumber(q.value(6)),
                        optionalNumber(q.value(7)), q.value(8).toString(),
                        q.value(9).toString(), withJson ? q.value(10).toString() : QString()};
        rows << r;
    }
    lastFault = Fault::None;
    return rows;
}

bool RecordStore::find(const QString &id, TestRecord *record, QStringList *differing)
{
    lastFault = Fault::None;
    QSqlQuery q(connection);
    q.prepare(storedColumns(kindColumn()) + QStringLiteral(" WHERE id = ?"));
    q.addBindValue(id.trimmed().toLower());
    if (!run(q) || !q.next())
        return false;
    const StoredRecord row = storedRow(q);
    if (differing)
        *differing = RecordCheck::differences(row);
    QString error;
    const QJsonDocument doc = QJsonDocument::fromJson(row.json.toUtf8());
    if (!TestRecord::fromJson(doc.object(), record, &error))
        return fail(Fault::Corrupt, error);
    return true;
}

QVector<Vehicle> RecordStore::vehiclesByPlatePrefix(const QString &prefix, int limit)
{
    QVector<Vehicle> vehicles;
    const QString from = prefix.trimmed().toUpper();
    if (from.isEmpty())
        return vehicles;
    // Plates compare as UTF-8 bytes: every plate with the prefix lies below
    // the prefix followed by the highest character.
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT plate, json FROM records WHERE plate >= ? AND plate < ? "
                             "ORDER BY plate, started DESC"));
    q.addBindValue(from);
    q.addBindValue(from + QString::fromUcs4(U"\U0010FFFF"));
    if (!run(q))
        return vehicles;
    QString last;
    while (q.next() && vehicles.size() < limit) {
        if (q.value(0).toString() == last)
            continue;
        last = q.value(0).toString();
        TestRecord record;
        QString error;
        if (TestRecord::fromJson(QJsonDocument::fromJson(q.value(1).toString().toUtf8()).object(),
                                 &record, &error))
            vehicles << record.vehicle;
    }
    return vehicles;
}

bool RecordStore::forEachStored(const std::function<bool(const StoredRecord &)> &visit)
{
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.exec(storedColumns(kindColumn()) + QStringLiteral(" ORDER BY started, rowid")))
        return failWith(q.lastError());
    while (q.next())
        if (!visit(storedRow(q)))
            break;
    return q.lastError().type() == QSqlError::NoError || failWith(q.lastError());
}

QHash<QString, QStringList> RecordStore::check(const QStringList &ids)
{
    QHash<QString, QStringList> found;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(storedColumns(kindColumn()) + QStringLiteral(" WHERE id = ?"));
    for (const QString &id : ids) {
        q.addBindValue(id);
        if (!run(q))
            break;
        if (q.next()) {
            const QStringList differ = RecordCheck::differences(storedRow(q));
            if (!differ.isEmpty())
                found.insert(id, differ);
        }
        q.finish();
    }
    return found;
}

bool RecordStore::addMeterEvent(MeterEvent kind, const QDateTime &at, const QString &meterAddress)
{
    QSqlQuery q(connection);
    q.prepare(QStringLiteral("INSERT INTO meter_events (kind, at, meter_address) VALUES (?, ?, ?)"));
    q.addBindValue(kind == MeterEvent::Calibration ? QStringLiteral("calibration")
                                                   : QStringLiteral("factory_reset"));
    q.addBindValue(RecordTime::text(at));
    q.addBindValue(meterAddress);
    return run(q);
}

QDateTime RecordStore::lastCalibration()
{
    QSqlQuery q(connection);
    if (!q.exec(QStringLiteral("SELECT at FROM meter_events WHERE kind = 'calibration' "
                               "ORDER BY id DESC LIMIT 1"))) {
        failWith(q.lastError());
        return QDateTime();
    }
    return q.next() ? RecordTime::parse(q.value(0).toString()) : QDateTime();
}
