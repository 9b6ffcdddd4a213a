#include "records/jsonfields.h"

#include <cmath>

void JsonFields::fail(const QString &what)
{
    if (fault->isEmpty())
        *fault = what;
}

QJsonValue JsonFields::field(const QString &key, QJsonValue::Type type, bool nullable)
{
    const QJsonValue value = object.value(key);
    if (value.type() == type || (nullable && value.isNull()))
        return value;
    fail(key, value.isUndefined() ? QStringLiteral("missing") : QStringLiteral("wrong type"));
    return QJsonValue();
}

std::optional<double> JsonFields::optionalNumber(const QString &key)
{
    const QJsonValue v = field(key, QJsonValue::Double, true);
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

bool JsonFields::string(const QString &key, QString *out, bool required, int maxLength)
{
    if (!expect(key, required))
        return false;
    const QJsonValue v = object.value(key);
    if (!v.isString())
        return failType(key, QStringLiteral("a string"));
    if (maxLength >= 0 && v.toString().size() > maxLength) {
        fail(QStringLiteral("%1: at most %2 characters").arg(path(key)).arg(maxLength));
        return false;
    }
    *out = v.toString();
    return true;
}

bool JsonFields::number(const QString &key, std::optional<double> *out, double min, double max, bool integral)
{
    if (!expect(key, false))
        return false;
    const QJsonValue v = object.value(key);
    if (v.isNull()) {
        out->reset();
        return true;
    }
    if (!v.isDouble())
        return failType(key, QStringLiteral("a number or null"));
    const double d = v.toDouble();
    if (!std::isfinite(d) || d < min || d > max || (integral && d != std::floor(d))) {
        fail(QStringLiteral("%1: %2 from %3 to %4").arg(path(key), integral ? QStringLiteral("a whole number")
                                                                          : QStringLiteral("a number"))
                 .arg(min).arg(max));
        return false;
    }
    *out = d;
    return true;
}

bool JsonFields::object_(const QString &key, QJsonObject *out)
{
    if (!expect(key, true))
        return false;
    if (!object.value(key).isObject())
        return failType(key, QStringLiteral("an object"));
    *out = object.value(key).toObject();
    return true;
}

void JsonFields::onlyKnown(std::initializer_list<const char *> known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = false;
        for (const char *k : known)
            found = found || it.key() == QLatin1String(k);
        if (!found)
            fail(QStringLiteral("%1: unknown field").arg(path(it.key())));
    }
}

bool JsonFields::expect(const QString &key, bool required)
{
    if (failed())
        return false;
    if (!object.contains(key)) {
        if (required)
            fail(QStringLiteral("%1: missing").arg(path(key)));
        return false;
    }
    return true;
}

bool JsonFields::failType(const QString &key, const QString &what)
{
    fail(QStringLiteral("%1: must be %2").arg(path(key), what));
    return false;
}
