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
    lowSinceMs = -1;
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
            lowSinceMs = -1;
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

    const double lowLine = idleK + std::max(SettleRise, SettleFraction * (snap.peakK - idleK));
    if (k > lowLine) {
        lowSinceMs = -1;
    } else if (lowSinceMs < 0 || std::max(lowMax, k) - std::min(lowMin, k) > IdleSpread) {
        // Still falling: the flat run starts again here.
        lowSinceMs = ms;
        lowMin = lowMax = lowSum = k;
        lowCount = 1;
    } else {
        lowMin = std::min(lowMin, k);
        lowMax = std::max(lowMax, k);
        lowSum += k;
        ++lowCount;
    }
    const bool settled = lowSinceMs >= 0 && ms - lowSinceMs >= SettleMs;
    const bool cutOff = ms - snap.startMs >= MaxSnapMs;
    if (!settled && !cutOff)
        return false;

    snap.cutOff = !settled;
    // After a cut-off K may stay up for good: a fresh steady idle decides
    // the baseline, rather than the one from before the snap.
    current = settled ? Phase::Idle : Phase::WaitingForIdle;
    if (settled)
        idleK = lowSum / lowCount;
    *ended = snap;
    return true;
}
