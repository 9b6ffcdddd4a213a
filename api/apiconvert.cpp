#include "api/apiconvert.h"

namespace api {

QString linkStateName(LinkKeeper::State state)
{
    switch (state) {
    case LinkKeeper::State::Connecting:
        return QStringLiteral("connecting");
    case LinkKeeper::State::Connected:
        return QStringLiteral("connected");
    case LinkKeeper::State::Looking:
        return QStringLiteral("looking");
    case LinkKeeper::State::Retrying:
        return QStringLiteral("retrying");
    }
    return QStringLiteral("connecting");
}

Reading readingFrom(const LaneReading &reading)
{
    Reading r;
    r.time = reading.time;
    r.monotonicMs = reading.monotonicMs;
    r.N = reading.n;
    r.Ns = reading.ns;
    if (reading.has(LaneReading::K))
        r.K = reading.k;
    if (reading.has(LaneReading::ChamberC))
        r.chamberC = reading.chamberC;
    if (reading.has(LaneReading::SmokeC))
        r.smokeC = reading.smokeC;
    if (reading.has(LaneReading::Energy))
        r.energy = reading.energy;
    return r;
}

Method methodFrom(const FreeAccelMethod &m)
{
    Method out{m.name, m.counted, m.band, m.rejectDecreasing, m.maxSnaps, {}};
    if (m.hasLimit)
        out.limitK = m.limitK;
    return out;
}

} // namespace api
