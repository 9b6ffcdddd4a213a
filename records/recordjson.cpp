// Reading a record back from its JSON document, with every field checked.
#include "records/testrecord.h"

#include <QJsonArray>

#include <cmath>

#include "records/jsonfields.h"

namespace {

// The record's fields, and its times.
class Reader : public JsonFields
{
public:
    using JsonFields::JsonFields;

    bool ok() const { return !failed(); }
    QDateTime time(const char *key, bool nullable)
    {
        const QString t = text(key, nullable);
        const QDateTime parsed = RecordTime::parse(t);
        if (!t.isEmpty() && !parsed.isValid())
            fail(key, QStringLiteral("not an ISO 8601 time"));
        return parsed;
    }
};

QVector<double> numbers(const QJsonArray &array, bool nullable, bool *ok)
{
    QVector<double> out;
    out.reserve(array.size());
    for (const QJsonValue &v : array) {
        *ok = *ok && (v.isDouble() || (nullable && v.isNull()));
        out << (v.isDouble() ? v.toDouble() : std::nan(""));
    }
    return out;
}

void readVehicle(Reader &r, Vehicle *v)
{
    v->plate = r.text("plate");
    v->vin = r.text("vin");
    v->category = r.text("category");
    if (r.ok() && !Vehicle::categories().contains(v->category))
        r.fail("category", QStringLiteral("unknown"));
    bool known = true;
    v->intake = Vehicle::intakeFromKey(r.text("intake", true), &known);
    if (!known)
        r.fail("intake", QStringLiteral("unknown"));
    const QString date = r.text("firstRegistration", true);
    v->firstRegistration = QDate::fromString(date, Qt::ISODate);
    if (!date.isEmpty() && !v->firstRegistration.isValid())
        r.fail("firstRegistration", QStringLiteral("not a date"));
    v->odometerKm = r.optionalNumber("odometerKm");
    v->plateValueK = r.optionalNumber("plateValueK");
    v->outlets = 1;
}

void readSnaps(const QJsonArray &array, TestRecord *record, QString *fault)
{
    for (int i = 0; i < array.size() && fault->isEmpty(); ++i) {
        Reader s(array.at(i).toObject(), QStringLiteral("snaps[%1].").arg(i), fault);
        if (!array.at(i).isObject())
            s.fail("", QStringLiteral("not an object"));
        RecordSnap snap;
        snap.time = s.time("time", false);
        snap.peakK = s.number("peak_K");
        snap.peakN = s.number("peak_N");
        snap.durationMs = qint64(s.number("duration_ms"));
        snap.counted = s.flag("counted");
        if (array.at(i).toObject().contains(QLatin1String("purge")))
            snap.purge = s.flag("purge");
        if (array.at(i).toObject().contains(QLatin1String("outlet")))
            snap.outlet = int(s.number("outlet"));
        record->snaps << snap;
    }
}

void readTrace(Reader &r, RecordTrace *trace, QString *fault)
{
    Reader t(r.object_("trace"), QStringLiteral("trace."), fault);
    trace->periodMs = int(t.number("period_ms"));
    bool ok = true;
    for (double ms : numbers(t.array("t_ms"), false, &ok))
        trace->tMs << qint64(ms);
    trace->k = numbers(t.array("K"), true, &ok);
    trace->n = numbers(t.array("N"), false, &ok);
    if (!ok)
        t.fail("", QStringLiteral("arrays hold a value that is not a number"));
    else if (trace->k.size() != trace->tMs.size() || trace->n.size() != trace->tMs.size())
        t.fail("", QStringLiteral("arrays differ in length"));
}

bool readOutcome(Reader &r, TestRecord *record)
{
    const QString outcome = r.text("outcome");
    for (auto o : {TestRecord::Outcome::Valid, TestRecord::Outcome::Invalid,
                   TestRecord::Outcome::Abandoned})
        if (outcome == TestRecord::outcomeKey(o)) {
            record->outcome = o;
            return true;
        }
    r.fail("outcome", QStringLiteral("unknown"));
    return false;
}

void readResult(Reader &r, TestRecord *record)
{
    readOutcome(r, record);
    record->meanK = r.optionalNumber("mean_K");
    const std::optional<double> limit = r.optionalNumber("limit_K");
    bool known = true;
    record->limit.source = LimitChoice::sourceFromKey(r.text("limit_source", true), &known);
    record->limit.limitK = limit.value_or(0);
    if (!known || bool(limit) != record->limit.hasLimit())
        r.fail("limit_source", QStringLiteral("does not match limit_K"));
    record->verdict = r.text("verdict", true);
    if (!record->verdict.isEmpty() && record->verdict != QLatin1String("pass")
        && record->verdict != QLatin1String("fail"))
        r.fail("verdict", QStringLiteral("neither pass nor fail"));
}

// A record without "profile" was tested by 自定义.
void readProfile(const QJsonObject &json, Reader &r, TestRecord *record, QString *fault)
{
    if (!r.ok() || !json.contains(QLatin1String("profile")))
        return;
    Reader p(r.object_("profile"), QStringLiteral("profile."), fault);
    record->profile = {p.text("id"), p.text("title"), p.text("standard"), p.text("version"),
                       p.text("sha256")};
    if (json.contains(QLatin1String("limit_row")))
        record->limit.row = r.text("limit_row");
}

// A record older than outlets was of one.
void readOutlets(const QJsonObject &json, Reader &r, TestRecord *record)
{
    if (json.contains(QLatin1String("outlets")))
        record->vehicle.outlets = int(r.number("outlets"));
    if (r.ok() && (record->vehicle.outlets < 1 || record->vehicle.outlets > Vehicle::MaxOutlets))
        r.fail("outlets", QStringLiteral("not 1 to %1").arg(Vehicle::MaxOutlets));
    if (!json.contains(QLatin1String("outlet_K")))
        return;
    bool ok = true;
    record->outletK = numbers(r.array("outlet_K"), true, &ok);
    if (!ok)
        r.fail("outlet_K", QStringLiteral("holds a value that is not a number"));
}

// A record without "kind" is a test, as every record was before checks.
void readKind(const QJsonObject &json, Reader &r, TestRecord *record, QString *fault)
{
    if (!r.ok() || !json.contains(QLatin1String("kind")))
        return;
    record->kind = r.text("kind");
    if (record->kind == QLatin1String(TestRecord::TestKind))
        r.fail("kind", QStringLiteral("a test's record does not name its kind"));
    else if (record->kind != QLatin1String(TestRecord::CheckKind))
        r.fail("kind", QStringLiteral("unknown"));
    if (!r.ok())
        return;
    record->check = r.object_("check");
    Reader c(record->check, QStringLiteral("check."), fault);
    c.text("kind");
    c.flag("passed");
    c.optionalNumber("meanN");
    c.object_("limits");
}

} // namespace

bool TestRecord::fromJson(const QJsonObject &json, TestRecord *record, QString *error)
{
    QString fault;
    Reader r(json, QString(), &fault);
    TestRecord out;
    out.id = r.text("id");
    out.started = r.time("started", false);
    out.ended = r.time("ended", true);
    out.station = r.text("station");
    out.lane = r.text("lane");
    out.operatorName = r.text("operator");
    readVehicle(r, &out.vehicle);
    out.method = r.text("method");
    Reader rules(r.object_("rules"), QStringLiteral("rules."), &fault);
    out.counted = int(rules.number("counted"));
    out.band = rules.number("band");
    out.rejectDecreasing = rules.flag("rejectDecreasing");
    out.maxSnaps = int(rules.number("maxSnaps"));
    if (json.value(QLatin1String("rules")).toObject().contains(QLatin1String("purges")))
        out.purges = int(rules.number("purges"));
    readSnaps(r.array("snaps"), &out, &fault);
    readResult(r, &out);
    out.software = r.text("software");
    out.meterAddress = r.text("meter_address");
    out.lastCalibration = r.time("last_calibration", true);
    readTrace(r, &out.trace, &fault);
    out.hash = r.text("hash");
    readKind(json, r, &out, &fault);
    readProfile(json, r, &out, &fault);
    readOutlets(json, r, &out);
    if (!fault.isEmpty()) {
        *error = fault;
        return false;
    }
    *record = out;
    return true;
}
