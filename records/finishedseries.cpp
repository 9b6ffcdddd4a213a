#include "records/finishedseries.h"

#include <cmath>

#include "meter/metervalues.h"

namespace {

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

// Peaks come from the meter in hundredths; closer than this is the same figure.
constexpr double Tolerance = 1e-4;

// Every outlet valid, and their results, as shown, no further apart than 'spread'.
bool outletsAgree(const QVector<FinishedSeries> &outlets, double spread)
{
    double low = 0, high = 0;
    for (int i = 0; i < outlets.size(); ++i) {
        if (!outlets.at(i).valid())
            return false;
        const double r = outlets.at(i).result;
        low = i == 0 ? r : qMin(low, r);
        high = i == 0 ? r : qMax(high, r);
    }
    return spread <= 0 || qRound64(high * 100) - qRound64(low * 100) <= qRound64(spread * 100);
}

} // namespace

FinishedSeries FinishedSeries::combine(const QVector<FinishedSeries> &outlets, double spread,
                                       const QVector<TracePoint> &trace)
{
    FinishedSeries o = outlets.first();
    o.trace = trace;
    o.ended = outlets.last().ended;
    if (outlets.size() == 1 && o.subject.vehicle.outlets <= 1)
        return o;
    o.snaps.clear();
    o.countedIndexes.clear();
    double sum = 0;
    for (int i = 0; i < outlets.size(); ++i) {
        const FinishedSeries &part = outlets.at(i);
        for (int counted : part.countedIndexes)
            o.countedIndexes << o.snaps.size() + counted;
        o.snaps << part.snaps;
        o.snapOutlets << QVector<int>(part.snaps.size(), i + 1);
        o.outletResults << (part.hasResult ? part.result : NAN);
        sum += part.result;
    }
    const FinishedSeries &last = outlets.last();
    const bool all = outlets.size() >= o.subject.vehicle.outlets;
    o.ending = last.ending == Ending::Abandoned ? Ending::Abandoned
               : all && outletsAgree(outlets, spread) ? Ending::Valid : Ending::Invalid;
    o.hasResult = o.valid();
    o.result = o.hasResult ? std::round(sum / outlets.size() * 100.0) / 100.0 : 0;
    if (!o.hasResult)
        o.countedIndexes.clear();
    o.verdict.clear();
    if (o.hasResult && o.method.hasLimit)
        o.verdict = o.result <= o.method.limitK + Tolerance ? QStringLiteral("合格") : QStringLiteral("不合格");
    return o;
}

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
