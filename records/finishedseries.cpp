#include "records/finishedseries.h"

#include <cmath>

namespace {

// The meter reports hundredths; their float form would otherwise show in
// the record as 1.2999999523162842.
double hundredths(double value)
{
    return std::round(value * 100) / 100;
}

FinishedSeries::Ending endingOf(FreeAccelSeries::State state)
{
    switch (state) {
    case FreeAccelSeries::State::Valid:
        return FinishedSeries::Ending::Valid;
    case FreeAccelSeries::State::Invalid:
        return FinishedSeries::Ending::Invalid;
    default:
        return FinishedSeries::Ending::Abandoned;
    }
}

} // namespace

FinishedSeries FinishedSeries::of(const FreeAccelSeries &series, const TestSubject &subject,
                                  const ProfileStamp &profile, const QDateTime &start, const QDateTime &end,
                                  const QVector<TracePoint> &trace)
{
    FinishedSeries o;
    o.subject = subject;
    o.profile = profile;
    o.method = series.method();
    o.snaps = series.snaps();
    for (Snap &snap : o.snaps) {
        snap.peakK = hundredths(snap.peakK);
        snap.peakN = hundredths(snap.peakN);
    }
    o.countedIndexes = series.countedIndexes();
    o.ending = endingOf(series.state());
    o.hasResult = o.valid();
    o.result = o.hasResult ? series.result() : 0;
    o.verdict = series.verdict();
    o.started = start;
    o.ended = end;
    o.startedMs = series.startedMs();
    for (TracePoint p : trace) {
        p.n = hundredths(p.n);
        p.k = p.hasK ? hundredths(p.k) : 0;
        o.trace << p;
    }
    return o;
}
