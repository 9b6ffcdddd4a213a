#include "records/recordbuilder.h"

#include <cmath>

namespace {

// The first reading after the peak back at K's level just before the snap
// started; else the next snap's start, or the series' end.
qint64 snapEndFromTrace(const SeriesParts &series, int index)
{
    const Snap &snap = series.snaps.at(index);
    const qint64 limit = index + 1 < series.snaps.size() ? series.snaps.at(index + 1).startMs
                                                          : series.endedMs;
    double level = NAN;
    for (int i = 0; i < series.traceMs.size(); ++i) {
        const qint64 ms = series.traceMs.at(i);
        const double k = series.traceK.value(i, NAN);
        if (ms < snap.startMs && !std::isnan(k))
            level = k;
        else if (ms > snap.peakMs && ms <= limit && !std::isnan(k) && !std::isnan(level)
                 && k <= level)
            return ms;
    }
    return qMax(limit, snap.startMs);
}

QVector<RecordSnap> recordSnaps(const SeriesParts &series)
{
    QVector<RecordSnap> out;
    for (int i = 0; i < series.snaps.size(); ++i) {
        const Snap &snap = series.snaps.at(i);
        const qint64 end = i < series.snapEndsMs.size() ? series.snapEndsMs.at(i)
                                                        : snapEndFromTrace(series, i);
        RecordSnap s;
        s.time = series.started.addMSecs(snap.startMs - series.startedMs);
        s.peakK = snap.peakK;
        s.peakN = snap.peakN;
        s.durationMs = qMax<qint64>(0, end - snap.startMs);
        s.counted = series.outcome == TestRecord::Outcome::Valid
                    && series.countedIndexes.contains(i);
        out << s;
    }
    return out;
}

RecordTrace recordTrace(const SeriesParts &series)
{
    RecordTrace trace;
    for (int i = 0; i < series.traceMs.size(); ++i) {
        const qint64 ms = series.traceMs.at(i);
        if (ms < series.startedMs || ms > series.endedMs)
            continue;
        trace.tMs << ms - series.startedMs;
        trace.k << series.traceK.value(i, NAN);
        trace.n << series.traceN.value(i, NAN);
    }
    return trace;
}

} // namespace

TestRecord buildRecord(const SeriesParts &series, const RecordContext &context, const QUuid &id)
{
    TestRecord r;
    r.id = id.toString(QUuid::WithoutBraces).toLower();
    r.started = series.started;
    r.ended = series.ended;
    r.station = context.station;
    r.lane = context.lane;
    r.operatorName = context.operatorName;
    r.vehicle = context.vehicle;
    r.method = series.method.name;
    r.counted = series.method.counted;
    r.band = series.method.band;
    r.rejectDecreasing = series.method.rejectDecreasing;
    r.maxSnaps = series.method.maxSnaps;
    r.snaps = recordSnaps(series);
    r.outcome = series.outcome;
    r.limit = context.limit;
    if (r.valid()) {
        r.meanK = series.result;
        if (r.limit.hasLimit())
            r.verdict = verdictKey(series.result, r.limit.limitK);
    }
    r.software = context.software;
    r.meterAddress = context.meterAddress;
    r.lastCalibration = context.lastCalibration;
    r.trace = recordTrace(series);
    r.seal();
    return r;
}
