#include "records/recordcsv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

namespace {

// A spreadsheet takes a cell that starts so as a formula; the apostrophe
// makes it text, shown without the mark. Only text from people gets it:
// numbers are written as JSON has them, so -0.5 stays a number.
QString guarded(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.at(0)))
        return QLatin1Char('\'') + text;
    return text;
}

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
        text = guarded(value.toString());
    }
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
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

bool write(const QString &path, const QVector<RecordSummary> &rows, QString *error, bool byteOrderMark)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out.setGenerateByteOrderMark(byteOrderMark);
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
