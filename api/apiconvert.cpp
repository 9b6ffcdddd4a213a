#include "api/apiconvert.h"

namespace api {

QString linkStateName(LinkKeeper::State state)
{
    switch (state) {
    case LinkKeeper::State::Connecting:
        return QStringLiteral("connecting");
    case LinkKeeper::State::Connected:
        return QStringLiteral("connected");
    case LinkKeeper::State::Retrying:
        return QStringLiteral("retrying");
    case LinkKeeper::State::Sweeping:
        return QStringLiteral("sweeping");
    }
    return QStringLiteral("connecting");
}

Reading readingFrom(const Measurement::Reading &m, const QDateTime &time, qint64 monotonicMs)
{
    Reading r;
    r.time = time;
    r.monotonicMs = monotonicMs;
    r.N = m.N;
    r.Ns = m.Ns;
    if (m.hasK) {
        r.K = m.K;
        r.chamberC = m.chamberTemp;
        r.smokeC = m.smokeTemp;
        if (m.energyAccepted)
            r.energy = m.energy;
    }
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
