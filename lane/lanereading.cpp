#include "lane/lanereading.h"

LaneReading::Values LaneReading::shownValues(const MeterValues &decoded)
{
    Values values = N | Ns;
    if (decoded.k < 0)
        return values;
    values |= K | ChamberC | SmokeC;
    if (decoded.energy <= Measurement::EnergyLimit)
        values |= Energy;
    return values;
}

bool LaneReading::fromReply(const QByteArray &frame, qint64 monotonicMs, const QDateTime &time,
                            LaneReading *reading)
{
    LaneReading r;
    if (!Measurement::decode(frame, &r))
        return false;
    r.frame = frame;
    r.monotonicMs = monotonicMs;
    r.time = time;
    r.shown = shownValues(r);
    *reading = r;
    return true;
}

QStringList LaneReading::shownTexts() const
{
    const auto text = [this](Value value, float figure) {
        return has(value) ? QString::number(figure) : QString();
    };
    return {text(N, n),         text(Ns, ns),         text(K, k),
            text(ChamberC, chamberC), text(SmokeC, smokeC), text(Energy, energy)};
}
