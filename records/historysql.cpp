#include "records/historysql.h"

#include "records/recordstore.h"

namespace {

const char *sortColumn(RecordFilter::Sort sort)
{
    switch (sort) {
    case RecordFilter::Sort::Plate: return "plate";
    case RecordFilter::Sort::Vin: return "vin";
    case RecordFilter::Sort::Method: return "method";
    case RecordFilter::Sort::Result: return "mean_k";
    case RecordFilter::Sort::Limit: return "limit_k";
    case RecordFilter::Sort::Verdict: return "verdict";
    case RecordFilter::Sort::Operator: return "operator";
    case RecordFilter::Sort::Lane: return "lane";
    case RecordFilter::Sort::Started: break;
    }
    return "started";
}

bool sortsAsText(RecordFilter::Sort sort)
{
    return sort != RecordFilter::Sort::Started && sort != RecordFilter::Sort::Result
           && sort != RecordFilter::Sort::Limit;
}

QString likePattern(const QString &text)
{
    QString escaped = text.trimmed().toUpper();
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

HistorySql::HistorySql(Dialect dialect, const QString &kindColumn)
    : dialect(dialect), kindColumn(kindColumn)
{
}

// SQLite looks through the small plate and VIN indexes first, so a history
// of many long records is not read row by row.
QString HistorySql::textMatch(const QString &column, const QString &text, QVariantList *values) const
{
    if (dialect == Dialect::PostgreSQL) {
        *values << text.trimmed();
        return QStringLiteral("strpos(upper(%1), upper(?)) > 0").arg(column);
    }
    *values << likePattern(text);
    return QStringLiteral("SELECT rowid FROM records WHERE %1 LIKE ? ESCAPE '\\'").arg(column);
}

// The day's first moment. The lane's store compares times as the text
// records write, which orders them (the station keeps one offset).
QVariant HistorySql::dayStart(const QDate &day) const
{
    return moment(day.startOfDay());
}

QVariant HistorySql::moment(const QDateTime &time) const
{
    return dialect == Dialect::PostgreSQL ? QVariant(time) : QVariant(RecordTime::text(time));
}

QString HistorySql::where(const RecordFilter &filter, QVariantList *values) const
{
    QStringList conditions;
    const auto condition = [&](const QString &sql, const QVariant &value) {
        conditions << sql;
        *values << value;
    };
    if (!filter.kind.isEmpty())
        condition(kindColumn + QStringLiteral(" = ?"), filter.kind);
    const auto holds = [&](const char *column, const QString &text) {
        const QString match = textMatch(QLatin1String(column), text, values);
        conditions << (dialect == Dialect::PostgreSQL ? match : QStringLiteral("rowid IN (%1)").arg(match));
    };
    if (!filter.plate.trimmed().isEmpty())
        holds("plate", filter.plate);
    if (!filter.vin.trimmed().isEmpty())
        holds("vin", filter.vin);
    if (!filter.text.trimmed().isEmpty()) {
        const QString plate = textMatch(QStringLiteral("plate"), filter.text, values);
        const QString vin = textMatch(QStringLiteral("vin"), filter.text, values);
        conditions << (dialect == Dialect::PostgreSQL ? QStringLiteral("(%1 OR %2)")
                                                      : QStringLiteral("rowid IN (%1 UNION %2)"))
                          .arg(plate, vin);
    }
    if (filter.since.isValid())
        condition(QStringLiteral("started >= ?"), dayStart(filter.since));
    if (filter.until.isValid())
        condition(QStringLiteral("started < ?"), dayStart(filter.until.addDays(1)));
    if (filter.sinceTime.isValid())
        condition(QStringLiteral("started >= ?"), moment(filter.sinceTime));
    if (filter.untilTime.isValid())
        condition(QStringLiteral("started <= ?"), moment(filter.untilTime));
    if (filter.verdict == QLatin1String("none"))
        conditions << QStringLiteral("verdict IS NULL");
    else if (!filter.verdict.isEmpty())
        condition(QStringLiteral("verdict = ?"), filter.verdict);
    return conditions.isEmpty() ? QString()
                                : QStringLiteral(" WHERE ") + conditions.join(QLatin1String(" AND "));
}

QString HistorySql::orderAndLimit(const RecordFilter &filter) const
{
    QString column = QLatin1String(sortColumn(filter.sort));
    // The station's texts sort by their bytes, as the lane's SQLite does;
    // equal rows keep one order there, whatever plan the server picks.
    if (dialect == Dialect::PostgreSQL && sortsAsText(filter.sort))
        column += QStringLiteral(" COLLATE \"C\"");
    QString sql = QStringLiteral(" ORDER BY %1 %2 NULLS LAST, started DESC")
                      .arg(column, QLatin1String(filter.descending ? "DESC" : "ASC"));
    if (dialect == Dialect::PostgreSQL)
        sql += QStringLiteral(", id");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    return sql;
}
