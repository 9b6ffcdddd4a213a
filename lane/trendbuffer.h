#ifndef LANE_TRENDBUFFER_H
#define LANE_TRENDBUFFER_H

#include <QContiguousCache>
#include <QPointF>
#include <QVector>

#include "lane/lanereading.h"

// The readings of the last minute, as the live curve shows them, and the
// peaks free-acceleration series counted in it. A ring of fixed capacity, so
// that a flood of replies costs the chart no more than a minute at a
// generous reply rate; the oldest points fall out first. The lane's session
// keeps it whether or not the curve was ever shown.
class TrendBuffer
{
public:
    static constexpr qint64 SpanMs = 60000;
    // Ten replies a second fill 600; twice that leaves room for a faster
    // meter without letting a flood of replies slow the redraw.
    static constexpr int Capacity = 1200;

    TrendBuffer();

    // A reading, at its monotonic stamp. One whose K is not shown adds N only.
    void append(const LaneReading &reading);

    // The points no older than SpanMs before 'nowMs', with x in seconds
    // relative to 'nowMs' (-60 .. 0), ready to hand to a series whole.
    void points(qint64 nowMs, QVector<QPointF> *n, QVector<QPointF> *k) const;

    // A peak a series counted, at its monotonic stamp.
    void addPeak(qint64 atMs, float k);
    // The peaks no older than SpanMs before 'nowMs', x as points().
    void peaks(qint64 nowMs, QVector<QPointF> *k) const;

    int size() const { return ring.size(); }

private:
    struct Point {
        qint64 atMs;
        float n;
        float k;
        bool hasK;
    };
    QContiguousCache<Point> ring;
    QVector<QPointF> counted;  // x: monotonic ms, y: K
};

#endif
