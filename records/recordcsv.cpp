#include "records/recordcsv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

namespace {

QString csvField(const QJsonValue &value)
{
    QString text;
    if (value.isArray()) {
        QStringList parts;
        for (const QJsonValue &v : value.toArray())
            parts << QString::number(v.toDouble());
        text = parts.join(QLatin1Char(';'));
    } else if (value.isBool()) {
        text = value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    } else if (value.isDouble()) {
        text = QString::number(value.toDouble());
    } else {
        text = value.toString();
    }
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return text;
}

} // namespace

namespace RecordCsv {

const QStringList &listFields()
{
    static const QStringList fields = {
        QStringLiteral("id"), QStringLiteral("started"), QStringLiteral("ended"),
        QStringLiteral("station"), QStringLiteral("lane"), QStringLiteral("operator"),
        QStringLiteral("plate"), QStringLiteral("vin"), QStringLiteral("method"),
        QStringLiteral("peaks_K"), QStringLiteral("mean_K"), QStringLiteral("valid"),
        QStringLiteral("limit_K"), QStringLiteral("limit_source"), QStringLiteral("verdict"),
        QStringLiteral("outcome")};
    return fields;
}

QJsonObject listObject(const QJsonObject &record)
{
    QJsonObject out;
    for (const QString &field : listFields())
        out.insert(field, record.value(field));
    return out;
}

bool write(const QString &path, const QVector<RecordSummary> &rows, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << listFields().join(QLatin1Char(',')) << '\n';
        for (const RecordSummary &r : rows) {
            const QJsonObject json = QJsonDocument::fromJson(r.json.toUtf8()).object();
            QStringList fields;
            for (const QString &field : listFields())
                fields << csvField(json.value(field));
            out << fields.join(QLatin1Char(',')) << '\n';
        }
        out.flush();
        if (file.commit())
            return true;
    }
    *error = file.errorString();
    return false;
}

} // namespace RecordCsv
