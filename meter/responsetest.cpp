#include "meter/responsetest.h"

ResponseTest::ResponseTest() : clock(&ownClock) {}

ResponseTest::ResponseTest(const MonotonicClock &clock) : clock(&clock) {}

void ResponseTest::armRise()
{
    riseRun = true;
    // A start time left over from an earlier test or a clear would make the
    // tick that starts timing (and the near-end check on it) count from
    // then; with none, that tick counts 0 and timing runs from its start.
    hasStart = false;
}

void ResponseTest::armFall()
{
    fallRun = true;
    hasStart = false;
}

void ResponseTest::clear()
{
    riseRun = fallRun = riseTime = fallTime = false;
    startMs = clock->nowMs();
    hasStart = true;
}

bool ResponseTest::inNearEndWindow(qint64 elapsedMs)
{
    return elapsedMs >= NearEndFirstMs && elapsedMs <= NearEndLastMs;
}

QString ResponseTest::formatElapsed(qint64 elapsedMs)
{
    constexpr qint64 hourMs = 3600 * 1000;
    const qint64 ms = ((elapsedMs % hourMs) + hourMs) % hourMs;
    return QString::asprintf("%02d:%02d:%03d", int(ms / 60000), int(ms / 1000 % 60),
                             int(ms % 1000));
}

ResponseTest::Tick ResponseTest::tick(float ns)
{
    Tick t;
    // Every step below works with this one value, also after a step has set
    // a new start time.
    t.elapsedMs = hasStart ? clock->nowMs() - startMs : 0;

    if (riseRun) {
        if (ns >= RiseStart && !riseTime) {
            startMs = clock->nowMs();
            hasStart = true;
            riseTime = true;
        }
        if ((ns >= RiseNearEnd && ns < RiseEnd && inNearEndWindow(t.elapsedMs)) || ns >= RiseEnd) {
            riseRun = riseTime = false;
            t.riseEnded = true;
        }
    }

    if (fallRun) {
        if (ns >= FallBandLow && ns <= FallBandHigh && !fallTime) {
            startMs = clock->nowMs();
            hasStart = true;
            fallTime = true;
            t.fallStarted = true;
        }
        const bool nearEnd = ns > FallEnd && ns < FallNearEnd && inNearEndWindow(t.elapsedMs);
        if ((ns <= FallEnd || nearEnd) && fallTime) {
            fallRun = fallTime = false;
            t.fallEnded = true;
        }
    }

    t.elapsedText = formatElapsed(t.elapsedMs);
    t.showRise = (riseRun && riseTime) || t.riseEnded;
    t.showFall = (fallRun && fallTime) || t.fallEnded;
    return t;
}
