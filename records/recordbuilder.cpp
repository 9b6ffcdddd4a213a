#include "records/recordbuilder.h"

#include <cmath>

namespace {

// The first reading after the peak back at K's level just before the snap
// started; else the next snap's start, or the series' end.
qint64 snapEndFromTrace(const FinishedSeries &series, int index)
{
    const Snap &snap = series.snaps.at(index);
    const qint64 limit = index + 1 < series.snaps.size() ? series.snaps.at(index + 1).startMs
                                                          : series.endedMs();
    double level = NAN;
    for (const FinishedSeries::TracePoint &p : series.trace) {
        const qint64 ms = series.startedMs + p.offsetMs;
        const double k = p.hasK ? p.k : NAN;
        if (ms < snap.startMs && !std::isnan(k))
            level = k;
        else if (ms > snap.peakMs && ms <= limit && !std::isnan(k) && !std::isnan(level)
                 && k <= level)
            return ms;
    }
    return qMax(limit, snap.startMs);
}

QVector<RecordSnap> recordSnaps(const FinishedSeries &series)
{
    QVector<RecordSnap> out;
    for (int i = 0; i < series.snaps.size(); ++i) {
        const Snap &snap = series.snaps.at(i);
        const qint64 end = snapEndFromTrace(series, i);
        RecordSnap s;
        s.time = series.started.addMSecs(snap.startMs - series.startedMs);
        s.peakK = snap.peakK;
        s.peakN = snap.peakN;
        s.durationMs = qMax<qint64>(0, end - snap.startMs);
        s.counted = series.valid() && series.countedIndexes.contains(i);
        s.outlet = series.snapOutlets.value(i, 0);
        // Each outlet's series begins with its purges.
        const int first = s.outlet > 0 ? series.snapOutlets.indexOf(s.outlet) : 0;
        s.purge = i - first < series.method.purges;
        out << s;
    }
    return out;
}

RecordTrace recordTrace(const FinishedSeries &series)
{
    RecordTrace trace;
    const qint64 span = series.endedMs() - series.startedMs;
    for (const FinishedSeries::TracePoint &p : series.trace) {
        if (p.offsetMs < 0 || p.offsetMs > span)
            continue;
        trace.tMs << p.offsetMs;
        trace.k << (p.hasK ? p.k : NAN);
        trace.n << p.n;
    }
    return trace;
}

} // namespace

TestRecord buildRecord(const FinishedSeries &series, const RecordContext &context, const QUuid &id)
{
    TestRecord r;
    r.id = id.toString(QUuid::WithoutBraces).toLower();
    r.started = series.started;
    r.ended = series.ended;
    r.station = context.station;
    r.lane = context.lane;
    r.operatorName = series.subject.operatorName;
    r.vehicle = series.subject.vehicle;
    r.method = series.method.name;
    r.profile = series.profile;
    r.purges = series.method.purges;
    r.counted = series.method.counted;
    r.band = series.method.band;
    r.rejectDecreasing = series.method.rejectDecreasing;
    r.maxSnaps = series.method.maxSnaps;
    r.snaps = recordSnaps(series);
    r.outcome = series.ending;
    r.outletK = series.outletResults;
    r.limit = series.subject.limit;
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
