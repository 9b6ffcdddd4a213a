#ifndef METER_TRENDBUFFER_H
#define METER_TRENDBUFFER_H

#include <QContiguousCache>
#include <QPointF>
#include <QVector>

#include "meter/measurement.h"

// The readings of the last minute, as the live curve shows them. A ring of
// fixed capacity, so that a flood of replies costs the chart no more than a
// minute at a generous reply rate; the oldest points fall out first.
class TrendBuffer
{
public:
    static constexpr qint64 SpanMs = 60000;
    // Ten replies a second fill 600; twice that leaves room for a faster
    // meter without letting a flood of replies slow the redraw.
    static constexpr int Capacity = 1200;

    TrendBuffer();

    // A reading taken at 'atMs' (any monotonic millisecond clock). A reading
    // without K adds N only, as the form shows no K for it either.
    void append(qint64 atMs, const Measurement::Reading &reading);

    // The points no older than SpanMs before 'nowMs', with x in seconds
    // relative to 'nowMs' (-60 .. 0), ready to hand to a series whole.
    void points(qint64 nowMs, QVector<QPointF> *n, QVector<QPointF> *k) const;

    int size() const { return ring.size(); }

private:
    struct Point {
        qint64 atMs;
        float N;
        float K;
        bool hasK;
    };
    QContiguousCache<Point> ring;
};

#endif
