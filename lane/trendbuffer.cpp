#include "lane/trendbuffer.h"

TrendBuffer::TrendBuffer() : ring(Capacity) {}

void TrendBuffer::append(const LaneReading &reading)
{
    const qint64 atMs = reading.monotonicMs;
    while (!ring.isEmpty() && ring.first().atMs < atMs - SpanMs)
        ring.removeFirst();
    while (!counted.isEmpty() && counted.first().x() < atMs - SpanMs)
        counted.removeFirst();
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
        n->append(QPointF(x, double(p.n)));
        if (p.hasK)
            k->append(QPointF(x, double(p.k)));
    }
}

void TrendBuffer::addPeak(qint64 atMs, float k)
{
    counted.append(QPointF(double(atMs), double(k)));
}

void TrendBuffer::peaks(qint64 nowMs, QVector<QPointF> *k) const
{
    k->clear();
    for (const QPointF &p : counted)
        if (p.x() >= nowMs - SpanMs)
            k->append(QPointF((p.x() - nowMs) / 1000.0, p.y()));
}
