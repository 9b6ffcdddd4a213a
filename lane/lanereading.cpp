#include "lane/lanereading.h"

LaneReading::Values LaneReading::shownValues(const Measurement::Reading &decoded)
{
    Values values = N | Ns;
    if (decoded.K < 0)
        return values;
    values |= K | ChamberC | SmokeC;
    if (decoded.energy <= Measurement::EnergyLimit)
        values |= Energy;
    return values;
}

bool LaneReading::fromReply(const QByteArray &frame, qint64 monotonicMs, const QDateTime &time,
                            LaneReading *reading)
{
    Measurement::Reading decoded;
    if (!Measurement::decode(frame, &decoded))
        return false;
    LaneReading r;
    r.frame = frame;
    r.monotonicMs = monotonicMs;
    r.time = time;
    r.n = decoded.N;
    r.ns = decoded.Ns;
    r.k = decoded.K;
    r.chamberC = decoded.chamberTemp;
    r.smokeC = decoded.smokeTemp;
    r.energy = decoded.energy;
    r.shown = shownValues(decoded);
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
