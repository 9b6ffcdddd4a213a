#include "meter/snapdetector.h"

#include <algorithm>
#include <numeric>

bool SnapDetector::windowSteady() const
{
    if (recent.size() < IdleWindow)
        return false;
    const auto range = std::minmax_element(recent.cbegin(), recent.cend());
    return *range.second - *range.first <= IdleSpread;
}

void SnapDetector::reset()
{
    current = Phase::WaitingForIdle;
    recent.clear();
    idleK = 0;
    settledSinceMs = -1;
}

bool SnapDetector::feed(qint64 ms, double k, double n, Snap *ended)
{
    recent.append(k);
    if (recent.size() > IdleWindow)
        recent.removeFirst();

    switch (current) {
    case Phase::WaitingForIdle:
    case Phase::Idle:
        if (current == Phase::Idle && k > idleK + StartRise) {
            snap = Snap();
            snap.startMs = snap.peakMs = ms;
            snap.peakK = k;
            snap.peakN = n;
            settledSinceMs = -1;
            current = Phase::InSnap;
            return false;
        }
        // Right after a snap the window still holds its tail and is not
        // steady, so the baseline of before the snap stays until idle is back.
        if (windowSteady()) {
            idleK = std::accumulate(recent.cbegin(), recent.cend(), 0.0) / recent.size();
            current = Phase::Idle;
        }
        return false;

    case Phase::InSnap:
        break;
    }

    if (k > snap.peakK) {
        snap.peakK = k;
        snap.peakMs = ms;
    }
    snap.peakN = std::max(snap.peakN, n);

    if (k <= idleK + SettleRise) {
        if (settledSinceMs < 0)
            settledSinceMs = ms;
    } else {
        settledSinceMs = -1;
    }
    const bool settled = settledSinceMs >= 0 && ms - settledSinceMs >= SettleMs;
    const bool cutOff = ms - snap.startMs >= MaxSnapMs;
    if (!settled && !cutOff)
        return false;

    snap.cutOff = !settled;
    // After a cut-off K may stay up for good: a fresh steady idle decides
    // the baseline, rather than the one from before the snap.
    current = settled ? Phase::Idle : Phase::WaitingForIdle;
    *ended = snap;
    return true;
}
