#ifndef RECORDS_JSONFIELDS_H
#define RECORDS_JSONFIELDS_H

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <initializer_list>
#include <optional>

// Reads typed fields of one JSON object and keeps the first fault, said as
// "<where><key>: <why>", in a text the caller owns, so that the readers of
// nested objects can share it. The record reader and the API's command
// parser both read through it.
class JsonFields
{
public:
    JsonFields(const QJsonObject &object, const QString &where, QString *fault)
        : object(object), where(where), fault(fault) {}

    const QJsonObject &json() const { return object; }
    bool present(const QString &key) const { return object.contains(key); }
    QString path(const QString &key) const { return where + key; }
    bool failed() const { return !fault->isEmpty(); }
    // Keeps 'what' unless a fault is kept already.
    void fail(const QString &what);
    void fail(const QString &key, const QString &why) { fail(QStringLiteral("%1: %2").arg(path(key), why)); }

    // Fields that must be there: the value when it has 'type' (or is null,
    // and 'nullable'); else the fault "missing" or "wrong type" and an
    // undefined value.
    QJsonValue field(const QString &key, QJsonValue::Type type, bool nullable);
    QString text(const QString &key, bool nullable = false) { return field(key, QJsonValue::String, nullable).toString(); }
    double number(const QString &key) { return field(key, QJsonValue::Double, false).toDouble(); }
    std::optional<double> optionalNumber(const QString &key);
    bool flag(const QString &key) { return field(key, QJsonValue::Bool, false).toBool(); }
    QJsonArray array(const QString &key) { return field(key, QJsonValue::Array, false).toArray(); }
    QJsonObject object_(const QString &key) { return field(key, QJsonValue::Object, false).toObject(); }

    // Fields that may be left out, unless 'required': each getter leaves its
    // output alone, and returns false, when the field is absent or a fault
    // is kept already; a wrong type is "must be ...".
    bool string(const QString &key, QString *out, bool required, int maxLength = -1);
    // A number or null; 'integral' refuses fractions.
    bool number(const QString &key, std::optional<double> *out, double min, double max, bool integral = false);
    bool object_(const QString &key, QJsonObject *out);
    // Refuses any key not in 'known'.
    void onlyKnown(std::initializer_list<const char *> known);

private:
    bool expect(const QString &key, bool required);
    bool failType(const QString &key, const QString &what);

    QJsonObject object;
    QString where;
    QString *fault;
};

#endif
