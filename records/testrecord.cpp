#include "records/testrecord.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace RecordTime {

QString text(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    // Qt writes a zero offset as "Z"; records always carry +hh:mm.
    const int offset = time.offsetFromUtc();
    const QDateTime fixed = time.toOffsetFromUtc(offset);
    return fixed.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
           + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
           + QTime(0, 0).addSecs(qAbs(offset)).toString(QStringLiteral("hh:mm"));
}

QDateTime parse(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

} // namespace RecordTime

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue orNull(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue timeOrNull(const QDateTime &time)
{
    return orNull(RecordTime::text(time));
}

QJsonArray numbers(const QVector<double> &values)
{
    QJsonArray out;
    for (double v : values)
        out.append(std::isnan(v) ? QJsonValue() : QJsonValue(v));
    return out;
}

QJsonObject traceJson(const RecordTrace &trace)
{
    QJsonArray t;
    for (qint64 ms : trace.tMs)
        t.append(ms);
    return {{"period_ms", trace.periodMs}, {"t_ms", t}, {"K", numbers(trace.k)},
            {"N", numbers(trace.n)}};
}

QJsonArray snapsJson(const QVector<RecordSnap> &snaps)
{
    QJsonArray out;
    for (const RecordSnap &s : snaps) {
        QJsonObject snap{{"time", RecordTime::text(s.time)}, {"peak_K", s.peakK},
                         {"peak_N", s.peakN}, {"duration_ms", s.durationMs},
                         {"counted", s.counted}};
        if (s.purge)
            snap.insert(QStringLiteral("purge"), true);
        if (s.outlet > 0)
            snap.insert(QStringLiteral("outlet"), s.outlet);
        out.append(snap);
    }
    return out;
}

} // namespace

const char TestRecord::TestKind[] = "test";
const char TestRecord::CheckKind[] = "check";

QVector<double> TestRecord::countedPeaks() const
{
    QVector<double> peaks;
    for (const RecordSnap &s : snaps)
        if (s.counted)
            peaks << s.peakK;
    return peaks;
}

QString TestRecord::outcomeKey(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Valid:
        return QStringLiteral("valid");
    case Outcome::Invalid:
        return QStringLiteral("invalid");
    case Outcome::Abandoned:
        break;
    }
    return QStringLiteral("abandoned");
}

QJsonObject TestRecord::toJson() const
{
    QJsonObject json{
        {"id", id}, {"started", timeOrNull(started)}, {"ended", timeOrNull(ended)},
        {"station", station}, {"lane", lane}, {"operator", operatorName},
        {"plate", vehicle.plate}, {"vin", vehicle.vin}, {"category", vehicle.category},
        {"intake", orNull(Vehicle::intakeKey(vehicle.intake))},
        {"firstRegistration", orNull(vehicle.firstRegistration.toString(Qt::ISODate))},
        {"odometerKm", orNull(vehicle.odometerKm)}, {"plateValueK", orNull(vehicle.plateValueK)},
        {"method", method},
        {"rules", QJsonObject{{"counted", counted}, {"band", band},
                              {"rejectDecreasing", rejectDecreasing}, {"maxSnaps", maxSnaps}}},
        {"snaps", snapsJson(snaps)}, {"peaks_K", numbers(countedPeaks())},
        {"mean_K", orNull(meanK)}, {"valid", valid()}, {"outcome", outcomeKey(outcome)},
        {"limit_K", limit.hasLimit() ? QJsonValue(limit.limitK) : QJsonValue()},
        {"limit_source", orNull(LimitChoice::sourceKey(limit.source))},
        {"verdict", orNull(verdict)}, {"software", software}, {"meter_address", meterAddress},
        {"last_calibration", timeOrNull(lastCalibration)}, {"trace", traceJson(trace)},
        {"hash", hash}};
    // Keys a record of 自定义 never had stay away, so its JSON is as before.
    if (!profile.isCustom())
        json.insert(QStringLiteral("profile"),
                    QJsonObject{{"id", profile.id}, {"title", profile.title}, {"standard", profile.standard},
                                {"version", profile.version}, {"sha256", profile.sha256}});
    if (purges > 0) {
        QJsonObject r = json.value(QLatin1String("rules")).toObject();
        r.insert(QStringLiteral("purges"), purges);
        json.insert(QStringLiteral("rules"), r);
    }
    if (vehicle.outlets > 1)
        json.insert(QStringLiteral("outlets"), vehicle.outlets);
    if (!outletK.isEmpty())
        json.insert(QStringLiteral("outlet_K"), numbers(outletK));
    if (!limit.row.isEmpty())
        json.insert(QStringLiteral("limit_row"), limit.row);
    if (isCheck()) {
        json.insert(QStringLiteral("kind"), kind);
        json.insert(QStringLiteral("check"), check);
    }
    return json;
}

QByteArray TestRecord::canonicalContent(QJsonObject json)
{
    // QJsonObject keeps its keys sorted, at every level.
    json.remove(QStringLiteral("hash"));
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

QString TestRecord::hashOf(const QJsonObject &json)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(canonicalContent(json), QCryptographicHash::Sha256).toHex());
}

void TestRecord::seal()
{
    hash = hashOf(toJson());
}

bool TestRecord::hashMatches() const
{
    return hash == hashOf(toJson());
}
