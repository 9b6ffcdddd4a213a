#include "api/apicommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

#include "records/jsonfields.h"
#include "records/recordcheck.h"
#include "records/vehicle.h"

namespace api {

namespace {

bool parseTopics(JsonFields &f, Command *c)
{
    const QJsonValue v = f.json().value(QStringLiteral("topics"));
    if (!v.isArray()) {
        f.fail(QStringLiteral("topics: must be an array of strings"));
        return false;
    }
    int topics = 0;
    for (const QJsonValue &t : v.toArray()) {
        int bit = 0;
        for (int i = 0; i < TopicCount; ++i)
            if (t.isString() && t.toString() == topicName(i))
                bit = 1 << i;
        if (!bit) {
            f.fail(QStringLiteral("topics: each one of reading, link, series, record, meter"));
            return false;
        }
        topics |= bit;
    }
    c->topics = topics;
    return true;
}

void parseSubscribe(JsonFields &f, Command *c)
{
    f.onlyKnown({"cmd", "id", "topics", "rate"});
    if (f.present(QStringLiteral("topics")) && !parseTopics(f, c))
        return;
    if (f.present(QStringLiteral("rate"))) {
        const QJsonValue v = f.json().value(QStringLiteral("rate"));
        const double r = v.toDouble(-1);
        if (!v.isDouble() || !(r == 1 || r == 2 || r == 5 || r == 10)) {
            f.fail(QStringLiteral("rate: must be 1, 2, 5 or 10"));
            return;
        }
        c->rate = int(r);
    }
}

bool parseRegistration(JsonFields &f, QDate *date)
{
    const QString key = QStringLiteral("firstRegistration");
    if (!f.present(key) || f.json().value(key).isNull())
        return true;
    QString text;
    if (!f.string(key, &text, true))
        return false;
    *date = QDate::fromString(text, Qt::ISODate);
    if (text.size() != 10 || !date->isValid()) {
        f.fail(QStringLiteral("%1: a date yyyy-MM-dd or null").arg(f.path(key)));
        return false;
    }
    return true;
}

// The vehicle panel's rules, so that a test started from outside holds
// what the panel would have taken.
bool takePlate(const QString &text, QString *plate, QString *error)
{
    *plate = VehicleRules::normalisedPlate(text);
    if (plate->size() > VehicleRules::MaxPlateLength)
        *error = QStringLiteral("plate: at most %1 characters").arg(VehicleRules::MaxPlateLength);
    else if (!VehicleRules::isValidPlate(*plate))
        *error = QStringLiteral("plate: only letters A-Z, digits and Chinese characters");
    return error->isEmpty();
}

void takeVin(JsonFields &f, Command *c)
{
    QString text;
    if (!f.string(QStringLiteral("vin"), &text, false))
        return;
    c->vehicle.vin = VehicleRules::normalisedVin(text);
    switch (VehicleRules::checkVin(c->vehicle.vin)) {
    case VehicleRules::VinCheck::Invalid:
        f.fail(QStringLiteral("vehicle.vin: %1 characters of 0-9 and A-Z without I, O and Q")
                   .arg(VehicleRules::VinLength));
        break;
    case VehicleRules::VinCheck::WrongCheckDigit:
        c->warnings.append(QStringLiteral("vehicle.vin: the check digit is '%1', where '%2' was expected")
                               .arg(c->vehicle.vin.at(8)).arg(VehicleRules::vinCheckCharacter(c->vehicle.vin)));
        break;
    case VehicleRules::VinCheck::Empty:
    case VehicleRules::VinCheck::Valid:
        break;
    }
}

void parseVehicle(const QJsonObject &object, Command *c, JsonFields &outer)
{
    QString fault;
    JsonFields f(object, QStringLiteral("vehicle."), &fault);
    f.onlyKnown({"plate", "vin", "category", "intake", "firstRegistration", "odometerKm", "plateValueK", "outlets"});
    Vehicle &v = c->vehicle;
    QString plate, category, error;
    if (f.string(QStringLiteral("plate"), &plate, true) && !takePlate(plate, &v.plate, &error))
        f.fail(QStringLiteral("vehicle.") + error);
    takeVin(f, c);
    if (f.string(QStringLiteral("category"), &category, true) && !::Vehicle::categories().contains(category))
        f.fail(QStringLiteral("vehicle.category: one of %1").arg(::Vehicle::categories().join(QLatin1String(", "))));
    v.category = category;
    const QJsonValue intake = object.value(QStringLiteral("intake"));
    if (!intake.isUndefined() && !intake.isNull() && intake != QLatin1String("natural") && intake != QLatin1String("turbo"))
        f.fail(QStringLiteral("vehicle.intake: \"natural\", \"turbo\" or null"));
    v.intake = intake.toString();
    parseRegistration(f, &v.firstRegistration);
    f.number(QStringLiteral("odometerKm"), &v.odometerKm, 0, 9999999, true);
    f.number(QStringLiteral("plateValueK"), &v.plateValueK, 0.01, 10);
    f.number(QStringLiteral("outlets"), &v.outlets, 1, 4, true);
    if (f.failed())
        outer.fail(fault);
}

bool parseToken(JsonFields &f, Command *c)
{
    return f.string(QStringLiteral("token"), &c->token, true, 256);
}

void parseStartTest(JsonFields &f, Command *c)
{
    f.onlyKnown({"cmd", "id", "token", "vehicle", "operator", "method"});
    QJsonObject vehicle;
    if (!parseToken(f, c) || !f.object_(QStringLiteral("vehicle"), &vehicle))
        return;
    parseVehicle(vehicle, c, f);
    if (f.string(QStringLiteral("operator"), &c->operatorName, true, OperatorMaxLength)) {
        c->operatorName = c->operatorName.trimmed();
        if (c->operatorName.isEmpty())
            f.fail(QStringLiteral("operator: must not be empty"));
        else if (!nameProblem(c->operatorName).isEmpty())
            f.fail(QStringLiteral("operator: must not hold line breaks or other control characters"));
    }
    f.string(QStringLiteral("method"), &c->method, false, MethodMaxLength);
}

// A date alone is its day's first moment, or for 'until' its last, so that
// a day given as both bounds holds the whole day.
bool parseTime(JsonFields &f, const char *key, QDateTime *out, bool endOfDay)
{
    QString text;
    if (!f.string(QLatin1String(key), &text, false, 40))
        return !f.failed();
    const QDate day = text.size() == 10 ? QDate::fromString(text, Qt::ISODate) : QDate();
    if (day.isValid())
        *out = QDateTime(day, endOfDay ? QTime(23, 59, 59, 999) : QTime(0, 0));
    else
        *out = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!out->isValid())
        f.fail(QStringLiteral("%1: an ISO 8601 date or date and time").arg(QLatin1String(key)));
    return out->isValid();
}

void parseListRecords(JsonFields &f, Command *c)
{
    f.onlyKnown({"cmd", "id", "token", "plate", "since", "until", "limit"});
    f.string(QStringLiteral("token"), &c->token, false, 256);
    QString plate, error;
    if (f.string(QStringLiteral("plate"), &plate, false) && !takePlate(plate, &c->filter.plate, &error))
        f.fail(error);
    parseTime(f, "since", &c->filter.since, false);
    parseTime(f, "until", &c->filter.until, true);
    std::optional<double> limit;
    if (f.present(QStringLiteral("limit")) && f.json().value(QStringLiteral("limit")).isNull())
        f.fail(QStringLiteral("limit: must be a number"));
    if (f.number(QStringLiteral("limit"), &limit, 1, MaxListLimit, true))
        c->filter.limit = int(*limit);
}

void parseStartCheck(JsonFields &f, Command *c)
{
    f.onlyKnown({"cmd", "id", "token", "kind", "filter"});
    if (!parseToken(f, c) || !f.string(QStringLiteral("kind"), &c->checkKind, true, 16))
        return;
    if (c->checkKind != QLatin1String("zero") && c->checkKind != QLatin1String("filter")
        && c->checkKind != QLatin1String("response")) {
        f.fail(QStringLiteral("kind: one of zero, filter, response"));
        return;
    }
    const bool needsFilter = c->checkKind == QLatin1String("filter");
    if (f.string(QStringLiteral("filter"), &c->filterName, needsFilter, 32) && !needsFilter)
        f.fail(QStringLiteral("filter: only for the filter check"));
}

struct CommandName {
    const char *name;
    CommandKind kind;
};
const CommandName commandNames[] = {
    {"auth", CommandKind::Auth},           {"subscribe", CommandKind::Subscribe},
    {"startTest", CommandKind::StartTest}, {"stopTest", CommandKind::StopTest},
    {"clearMaxima", CommandKind::ClearMaxima}, {"getRecord", CommandKind::GetRecord},
    {"listRecords", CommandKind::ListRecords}, {"startCheck", CommandKind::StartCheck},
};

void parseBody(JsonFields &f, Command *c)
{
    switch (c->kind) {
    case CommandKind::Auth:
    case CommandKind::StopTest:
    case CommandKind::ClearMaxima:
        f.onlyKnown({"cmd", "id", "token"});
        parseToken(f, c);
        break;
    case CommandKind::Subscribe:
        parseSubscribe(f, c);
        break;
    case CommandKind::StartTest:
        parseStartTest(f, c);
        break;
    case CommandKind::GetRecord:
        f.onlyKnown({"cmd", "id", "token"});
        f.string(QStringLiteral("token"), &c->token, false, 256);
        if (!c->id.isString() || c->id.toString().isEmpty() || c->id.toString().size() > 64)
            f.fail(QStringLiteral("id: getRecord takes the record's id, a string"));
        break;
    case CommandKind::ListRecords:
        parseListRecords(f, c);
        break;
    case CommandKind::StartCheck:
        parseStartCheck(f, c);
        break;
    }
}

} // namespace

QLatin1String topicName(int bit)
{
    static const char *const names[TopicCount] = {"reading", "link", "series", "record", "meter"};
    return QLatin1String(names[bit]);
}

bool changesState(CommandKind kind)
{
    return kind == CommandKind::StartTest || kind == CommandKind::StopTest || kind == CommandKind::ClearMaxima
           || kind == CommandKind::StartCheck;
}

bool readsRecords(CommandKind kind)
{
    return kind == CommandKind::GetRecord || kind == CommandKind::ListRecords;
}

ParsedCommand parseCommand(const QByteArray &text)
{
    ParsedCommand result;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("invalid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return result;
    }
    if (!doc.isObject()) {
        result.error = QStringLiteral("a command must be a JSON object");
        return result;
    }
    QString fault;
    JsonFields f(doc.object(), QString(), &fault);
    // A number travels as a double: beyond 2^53 the echo would differ from
    // what the client sent, and it could not match its reply.
    const QJsonValue id = doc.object().value(QStringLiteral("id"));
    const double n = id.toDouble();
    if (id.isString() || (id.isDouble() && n == std::floor(n) && std::fabs(n) <= MaxNumericId))
        result.id = id;
    else
        f.fail(id.isUndefined() ? QStringLiteral("id: missing")
                                : QStringLiteral("id: must be a string or a whole number within +-2^53"));
    QString name;
    f.string(QStringLiteral("cmd"), &name, true);
    bool known = false;
    for (const CommandName &n : commandNames) {
        if (name == QLatin1String(n.name)) {
            result.command.kind = n.kind;
            known = true;
        }
    }
    if (!f.failed() && !known)
        f.fail(QStringLiteral("unknown command '%1'").arg(name.left(40)));
    result.command.id = result.id;
    if (!f.failed())
        parseBody(f, &result.command);
    result.ok = !f.failed();
    result.error = fault;
    return result;
}

} // namespace api
