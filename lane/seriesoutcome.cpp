#include "lane/seriesoutcome.h"

SeriesOutcome SeriesOutcome::of(const FreeAccelSeries &series, const TestSubject &subject,
                                const QDateTime &start, const QDateTime &end,
                                const QVector<TracePoint> &trace)
{
    SeriesOutcome o;
    o.subject = subject;
    o.method = series.method();
    o.snaps = series.snaps();
    o.countedIndexes = series.countedIndexes();
    switch (series.state()) {
    case FreeAccelSeries::State::Valid:
        o.ending = Ending::Valid;
        break;
    case FreeAccelSeries::State::Invalid:
        o.ending = Ending::Invalid;
        break;
    default:
        o.ending = Ending::Abandoned;
        break;
    }
    o.hasResult = o.valid();
    o.result = o.hasResult ? series.result() : 0;
    o.verdict = series.verdict();
    o.started = start;
    o.ended = end;
    o.startedMs = series.startedMs();
    o.trace = trace;
    return o;
}
