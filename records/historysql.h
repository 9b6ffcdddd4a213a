#ifndef RECORDS_HISTORYSQL_H
#define RECORDS_HISTORYSQL_H

#include <QString>
#include <QVariantList>

struct RecordFilter;

// What a history's filter, sort and limit mean, as SQL for the lane's
// SQLite store and for the station's PostgreSQL alike: the conditions with
// their bound values, and the order. The two differ only where the engines
// do: how a text is matched, how times are bound, how texts sort.
class HistorySql
{
public:
    enum class Dialect { SQLite, PostgreSQL };

    // 'kindColumn' is the expression that gives a row's kind.
    HistorySql(Dialect dialect, const QString &kindColumn);

    // " WHERE ..." or empty text; the values to bind, in order, go to 'values'.
    QString where(const RecordFilter &filter, QVariantList *values) const;
    // " ORDER BY ...", and " LIMIT n" when the filter has a limit.
    QString orderAndLimit(const RecordFilter &filter) const;

private:
    QString textMatch(const QString &column, const QString &text, QVariantList *values) const;
    QVariant dayStart(const QDate &day) const;
    QVariant moment(const QDateTime &time) const;

    Dialect dialect;
    QString kindColumn;
};

#endif
