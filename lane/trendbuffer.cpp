#include "lane/trendbuffer.h"

TrendBuffer::TrendBuffer() : ring(Capacity) {}

void TrendBuffer::append(const LaneReading &reading)
{
    const qint64 atMs = reading.monotonicMs;
    while (!ring.isEmpty() && ring.first().atMs < atMs - SpanMs)
        ring.removeFirst();
    ring.append({atMs, reading.n, reading.k, reading.has(LaneReading::K)});
    // The ring's indexes only grow; months of replies would overflow them.
    if (!ring.areIndexesValid())
        ring.normalizeIndexes();
}

void TrendBuffer::points(qint64 nowMs, QVector<QPointF> *n, QVector<QPointF> *k) const
{
    n->clear();
    k->clear();
    for (int i = ring.firstIndex(); i <= ring.lastIndex(); ++i) {
        const Point &p = ring.at(i);
        if (p.atMs < nowMs - SpanMs)
            continue;
        const double x = double(p.atMs - nowMs) / 1000.0;
        n->append(QPointF(x, double(p.N)));
        if (p.hasK)
            k->append(QPointF(x, double(p.K)));
    }
}
