#include "meter/trendbuffer.h"

TrendBuffer::TrendBuffer() : ring(Capacity) {}

void TrendBuffer::append(qint64 atMs, const Measurement::Reading &reading)
{
    while (!ring.isEmpty() && ring.first().atMs < atMs - SpanMs)
        ring.removeFirst();
    ring.append({atMs, reading.N, reading.K, reading.hasK});
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
