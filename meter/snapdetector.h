#ifndef METER_SNAPDETECTOR_H
#define METER_SNAPDETECTOR_H

#include <QVector>
#include <QtGlobal>

// One free-acceleration snap as seen in K: from the moment K left the idle
// baseline until it settled back (or the snap was cut off).
struct Snap {
    qint64 startMs = 0;
    qint64 peakMs = 0;   // when K was highest
    double peakK = 0;    // the highest K of the snap
    double peakN = 0;    // the highest N of the snap
    bool cutOff = false; // K had not settled after MaxSnapMs
};

// Finds snaps in the K readings of the measurement replies, one reading at
// a time, each with its own timestamp (readings come about 10 a second).
//
// The idle baseline is the mean of the last IdleWindow readings while they
// lie within IdleSpread of each other; it is taken before the first snap and
// again between snaps, so a slowly drifting idle is followed. A snap starts
// at the first reading more than StartRise above the baseline. It ends once
// K has been back low and flat for SettleMs: every reading at most
// SettleRise, or SettleFraction of the snap's height if that is more, above
// the baseline, and all within IdleSpread of each other. Those readings are
// then the new baseline, since an engine often idles a little smokier after
// a snap than before it. A snap that has not ended MaxSnapMs after its start
// is cut off, and a fresh steady idle is awaited.
//
// Why these figures: idle noise of +-0.03 m-1 spreads the readings by at most
// 0.06 and puts a reading at most 0.06 from the mean of its neighbours, so
// neither IdleSpread (0.08) nor StartRise (0.08) is reached by noise alone,
// while a snap of 0.15 above idle crosses StartRise by nearly twice the
// noise. Between the humps of a double-humped snap K is neither low nor flat
// for half a second, so the snap ends only after the second hump; and while
// K holds its top at governed speed it is flat but not low.
class SnapDetector
{
public:
    static constexpr int IdleWindow = 10;         // readings, about 1 s
    static constexpr double IdleSpread = 0.08;    // m-1, max - min of the window
    static constexpr double StartRise = 0.08;     // m-1 above the baseline
    static constexpr double SettleRise = 0.05;    // m-1 above the baseline
    static constexpr double SettleFraction = 0.25;  // of the snap's height
    static constexpr qint64 SettleMs = 500;
    static constexpr qint64 MaxSnapMs = 15000;

    enum class Phase {
        WaitingForIdle, // no steady idle yet: no baseline to measure against
        Idle,           // baseline known, ready for a snap
        InSnap,
    };

    // Feeds one reading; returns true and fills 'ended' when it ends a snap.
    bool feed(qint64 ms, double k, double n, Snap *ended);
    void reset();

    Phase phase() const { return current; }
    double baseline() const { return idleK; }

private:
    bool windowSteady() const;

    Phase current = Phase::WaitingForIdle;
    QVector<double> recent;  // the last IdleWindow readings of K
    double idleK = 0;
    Snap snap;
    // The run of low, flat readings that may end the snap.
    qint64 lowSinceMs = -1;  // -1: the last reading was not low
    double lowMin = 0;
    double lowMax = 0;
    double lowSum = 0;
    int lowCount = 0;
};

#endif
