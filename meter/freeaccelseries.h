#ifndef METER_FREEACCELSERIES_H
#define METER_FREEACCELSERIES_H

#include <QList>
#include <QString>
#include <QVector>

#include "meter/snapdetector.h"

// How a free-acceleration series is judged.
struct FreeAccelMethod {
    QString name;                 // a preset's name, CustomName, or a profile's Id
    int purges = 0;               // accelerations first that clear the exhaust: never counted
    int counted = 4;              // n: peaks that make the result
    double band = 0.25;           // m-1: the n peaks lie within this width; 0 (a profile's only): none
    bool rejectDecreasing = true; // n strictly decreasing peaks do not count
    int maxSnaps = 10;            // no result after this many snaps, purges included: invalid
    bool ofProfile = false;       // a procedure profile's rules: its name stands
    bool hasLimit = false;
    double limitK = 0;            // m-1, for the verdict

    static FreeAccelMethod r24();
    static FreeAccelMethod threeMean();
    static QList<FreeAccelMethod> presets();
    static const QString CustomName;
    // True when purges, n, band, decreasing rule and snap count equal 'other's.
    bool sameRules(const FreeAccelMethod &other) const;
    // Keeps hand-edited settings inside what the series can work with.
    FreeAccelMethod bounded() const;
};

// One series of snaps from start to its end, reply by reply: the snap
// detector finds the peaks, the method decides when the series is over.
// The series ends by itself once its last n peaks meet the method (valid)
// or after the most snaps without that (invalid); stop() abandons it.
class FreeAccelSeries
{
public:
    enum class State {
        NotStarted,
        WaitingForIdle, // before a snap: K has not been steady long enough
        ReadyForSnap,   // idle: the operator may floor the accelerator
        InSnap,         // K is up: the operator releases, K comes back
        Valid,
        Invalid,
        Abandoned,
    };

    // What one reply changed.
    struct Step {
        bool snapEnded = false;   // snaps() has a new last entry
        bool finished = false;    // the series has just ended
    };

    void start(const FreeAccelMethod &method, qint64 ms);
    // One measurement reply; ignored unless the series is running.
    Step onReading(qint64 ms, double k, double n);
    // Abandons a running series; returns false when none was running.
    bool stop(qint64 ms);

    State state() const { return current; }
    bool running() const;
    bool finished() const;
    const FreeAccelMethod &method() const { return rules; }
    const QVector<Snap> &snaps() const { return found; }
    // Indexes into snaps() of the peaks that make the result (valid only).
    QVector<int> countedIndexes() const;
    // The mean of the counted peaks, rounded to two decimals as it is shown
    // and kept; the verdict compares this figure with the limit.
    double result() const { return mean; }
    // "合格" / "不合格" for a valid series with a limit, else empty.
    QString verdict() const;
    qint64 startedMs() const { return startMs; }
    qint64 endedMs() const { return endMs; }

    // Whether the last 'method.counted' of 'peaks' meet the band and the
    // decreasing rule; the first 'method.purges' peaks never count.
    static bool lastPeaksQualify(const QVector<double> &peaks, const FreeAccelMethod &method);

private:
    void finish(State end, qint64 ms);

    State current = State::NotStarted;
    FreeAccelMethod rules;
    SnapDetector detector;
    QVector<Snap> found;
    double mean = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
};

#endif
