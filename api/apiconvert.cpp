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
    r.values = reading;
    r.shown = reading.shown;
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
