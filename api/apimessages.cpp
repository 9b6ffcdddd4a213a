#include "api/apimessages.h"

namespace api {

namespace {

QJsonValue orNull(const std::optional<double> &v)
{
    return v ? QJsonValue(hundredths(*v)) : QJsonValue(QJsonValue::Null);
}

QJsonValue orNull(const QString &s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QJsonObject typed(const char *type)
{
    return QJsonObject{{QStringLiteral("type"), QLatin1String(type)}};
}

QJsonObject series(const char *event)
{
    QJsonObject m = typed("series");
    m.insert(QStringLiteral("event"), QLatin1String(event));
    return m;
}

QJsonObject linkObject(const Link &link)
{
    return QJsonObject{{QStringLiteral("state"), link.state}, {QStringLiteral("address"), orNull(link.address)}};
}

} // namespace

QString isoTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QJsonObject helloMessage(const State &state)
{
    QJsonObject m = typed("hello");
    m.insert(QStringLiteral("version"), state.version);
    m.insert(QStringLiteral("api"), Version);
    m.insert(QStringLiteral("link"), linkObject(state.link));
    m.insert(QStringLiteral("series"),
             QJsonObject{{QStringLiteral("state"), state.series.running ? QStringLiteral("running") : QStringLiteral("idle")},
                         {QStringLiteral("method"), orNull(state.series.method)},
                         {QStringLiteral("snaps"), state.series.snaps}});
    m.insert(QStringLiteral("profile"), state.profile);
    return m;
}

QJsonObject readingMessage(const Reading &r)
{
    QJsonObject m = typed("reading");
    m.insert(QStringLiteral("time"), isoTime(r.time));
    const auto shownOrNull = [&r](MeterValues::Value value, float figure) {
        return r.shown.testFlag(value) ? hundredths(figure) : QJsonValue(QJsonValue::Null);
    };
    const MeterValues &v = r.values;
    m.insert(QStringLiteral("N"), hundredths(v.n));
    m.insert(QStringLiteral("Ns"), hundredths(v.ns));
    m.insert(QStringLiteral("K"), shownOrNull(MeterValues::K, v.k));
    m.insert(QStringLiteral("chamber_C"), shownOrNull(MeterValues::ChamberC, v.chamberC));
    m.insert(QStringLiteral("smoke_C"), shownOrNull(MeterValues::SmokeC, v.smokeC));
    m.insert(QStringLiteral("energy"), shownOrNull(MeterValues::Energy, v.energy));
    return m;
}

QJsonObject linkMessage(const Link &link)
{
    QJsonObject m = linkObject(link);
    m.insert(QStringLiteral("type"), QStringLiteral("link"));
    return m;
}

QJsonObject seriesStartedMessage(const Method &method)
{
    QJsonObject m = series("started");
    m.insert(QStringLiteral("method"),
             QJsonObject{{QStringLiteral("name"), method.name},
                         {QStringLiteral("counted"), method.counted},
                         {QStringLiteral("band"), hundredths(method.band)},
                         {QStringLiteral("rejectDecreasing"), method.rejectDecreasing},
                         {QStringLiteral("maxSnaps"), method.maxSnaps},
                         {QStringLiteral("limit_K"), orNull(method.limitK)}});
    return m;
}

QJsonObject snapMessage(const SnapEvent &snap)
{
    QJsonObject m = series("snap");
    m.insert(QStringLiteral("index"), snap.index);
    m.insert(QStringLiteral("time"), isoTime(snap.time));
    m.insert(QStringLiteral("peak_K"), hundredths(snap.peakK));
    m.insert(QStringLiteral("peak_N"), hundredths(snap.peakN));
    m.insert(QStringLiteral("duration_ms"), double(snap.durationMs));
    return m;
}

QJsonObject seriesFinishedMessage(const SeriesOutcome &o)
{
    QJsonObject m = series("finished");
    QJsonArray peaks;
    for (double k : o.peaksK)
        peaks.append(hundredths(k));
    m.insert(QStringLiteral("snaps"), o.snaps);
    m.insert(QStringLiteral("peaks_K"), peaks);
    m.insert(QStringLiteral("mean_K"), o.valid ? orNull(o.meanK) : QJsonValue(QJsonValue::Null));
    m.insert(QStringLiteral("valid"), o.valid);
    m.insert(QStringLiteral("limit_K"), orNull(o.limitK));
    m.insert(QStringLiteral("limit_source"), orNull(o.limitSource));
    m.insert(QStringLiteral("verdict"), orNull(o.verdict));
    m.insert(QStringLiteral("profile"), o.profile);
    return m;
}

QJsonObject seriesAbandonedMessage(const SeriesOutcome &o)
{
    QJsonObject m = series("abandoned");
    m.insert(QStringLiteral("snaps"), o.snaps);
    return m;
}

QJsonObject recordMessage(const QString &id, bool stored)
{
    QJsonObject m = typed("record");
    m.insert(QStringLiteral("id"), id);
    m.insert(QStringLiteral("stored"), stored);
    return m;
}

QJsonObject meterMessage(MeterEvent event, const QDateTime &time)
{
    QJsonObject m = typed("meter");
    m.insert(QStringLiteral("event"), event == MeterEvent::Calibrated ? QStringLiteral("calibrated")
                                                                      : QStringLiteral("factoryReset"));
    m.insert(QStringLiteral("time"), isoTime(time));
    return m;
}

QJsonObject okReply(const QJsonValue &id, const QJsonObject &extra)
{
    QJsonObject m = extra;
    m.insert(QStringLiteral("type"), QStringLiteral("reply"));
    m.insert(QStringLiteral("id"), id);
    m.insert(QStringLiteral("ok"), true);
    return m;
}

void markChecked(QJsonObject *object, const QStringList &differing)
{
    if (differing.isEmpty())
        return;
    object->insert(QStringLiteral("checkFailed"), true);
    object->insert(QStringLiteral("differing"), QJsonArray::fromStringList(differing));
}

QJsonObject errorReply(const QJsonValue &id, const QString &error)
{
    QJsonObject m = typed("reply");
    m.insert(QStringLiteral("id"), id);
    m.insert(QStringLiteral("ok"), false);
    m.insert(QStringLiteral("error"), error);
    return m;
}

} // namespace api
