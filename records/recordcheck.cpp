#include "records/recordcheck.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "records/testrecord.h"

namespace {

// A text column is empty or NULL alike: the store writes an empty plate as NULL.
bool sameText(const QVariant &column, const QJsonValue &value)
{
    if (column.isValid() && !column.isNull() && column.type() != QVariant::String)
        return false;
    return column.toString() == value.toString() && (value.isString() || value.isNull());
}

// Numbers are stored as the very double the JSON holds; a value typed in
// as text or rounded differs.
bool sameNumber(const QVariant &column, const QJsonValue &value)
{
    if (column.isNull() || !column.isValid())
        return value.isNull();
    if (!value.isDouble() || column.type() == QVariant::String)
        return false;
    bool ok = false;
    const double stored = column.toDouble(&ok);
    return ok && stored == value.toDouble();
}

} // namespace

QStringList RecordCheck::differences(const StoredRecord &row)
{
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(row.json.toUtf8(), &parse);
    const QJsonObject json = doc.object();
    if (parse.error != QJsonParseError::NoError || !doc.isObject())
        return {QStringLiteral("content")};
    QStringList differ;
    if (row.hash != TestRecord::hashOf(json) || json.value(QLatin1String("hash")).toString() != row.hash)
        differ << QStringLiteral("content");
    if (json.value(QLatin1String("id")).toString() != row.id)
        differ << QStringLiteral("id");
    const struct {
        const char *column;
        const char *key;
        const QVariant &value;
    } texts[] = {{"started", "started", row.started}, {"ended", "ended", row.ended},
                 {"plate", "plate", row.plate},       {"vin", "vin", row.vin},
                 {"verdict", "verdict", row.verdict}, {"operator", "operator", row.operatorName},
                 {"station", "station", row.station}, {"lane", "lane", row.lane},
                 {"method", "method", row.method},    {"outcome", "outcome", row.outcome}};
    for (const auto &t : texts)
        if (!sameText(t.value, json.value(QLatin1String(t.key))))
            differ << QLatin1String(t.column);
    // A test's JSON names no kind; the column says "test".
    const QString kind = json.value(QLatin1String("kind")).toString(QStringLiteral("test"));
    if (row.kind.isValid() && row.kind.toString() != kind)
        differ << QStringLiteral("kind");
    if (!sameNumber(row.meanK, json.value(QLatin1String("mean_K"))))
        differ << QStringLiteral("mean_k");
    if (!sameNumber(row.limitK, json.value(QLatin1String("limit_K"))))
        differ << QStringLiteral("limit_k");
    return differ;
}

QString RecordCheck::failedText()
{
    return tr("记录校验失败");
}

QString nameProblem(const QString &name, bool shown)
{
    const char *const why = QT_TRANSLATE_NOOP("RecordCheck", "不能含换行或其他控制字符");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return shown ? QCoreApplication::translate("RecordCheck", why) : QString::fromUtf8(why);
    return QString();
}
