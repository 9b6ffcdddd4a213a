#ifndef METER_RESPONSETEST_H
#define METER_RESPONSETEST_H

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

// Source of the readings the response test times with. Readings are
// milliseconds from an arbitrary fixed point and never go back, so setting
// the system clock or passing midnight during a test cannot bend a result.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowMs() const = 0;
};

// The program's clock: the system's monotonic clock through QElapsedTimer.
class SteadyClock : public MonotonicClock
{
public:
    SteadyClock() { timer.start(); }
    qint64 nowMs() const override { return timer.elapsed(); }

private:
    QElapsedTimer timer;
};

// The rise and fall response-time test on the Ns reading, one tick at a
// time. The main window feeds it the current Ns from its 10-ms timer and
// carries out what each tick reports (timer, buttons, labels, log lines).
//
// Rise: timing starts at Ns >= 10 and ends at Ns >= 90, or earlier when Ns
// settles between 85 and 90 while the elapsed time is inside the near-end
// window. Fall: timing starts when Ns is inside 50..90 and ends at Ns <= 10,
// or earlier when Ns settles between 10 and 30 inside the window.
class ResponseTest
{
public:
    static constexpr int TimerIntervalMs = 10;
    static constexpr int StopPauseMs = 10;
    static constexpr float RiseStart = 10;
    static constexpr float RiseEnd = 90;
    static constexpr float RiseNearEnd = 85;
    static constexpr float FallBandLow = 50;
    static constexpr float FallBandHigh = 90;
    static constexpr float FallEnd = 10;
    static constexpr float FallNearEnd = 30;
    static constexpr qint64 NearEndFirstMs = 1001;
    static constexpr qint64 NearEndLastMs = 1099;

    // What one tick did and what the window has to show for it.
    struct Tick {
        qint64 elapsedMs = 0;   // the one elapsed value of this tick
        QString elapsedText;    // elapsedMs as "mm:ss:zzz"
        bool fallStarted = false;
        bool riseEnded = false;
        bool fallEnded = false;
        bool showRise = false;  // elapsedText goes to the rise result
        bool showFall = false;  // elapsedText goes to the fall result
    };

    ResponseTest();
    // The clock must outlive the test.
    explicit ResponseTest(const MonotonicClock &clock);
    ResponseTest(const ResponseTest &) = delete;
    ResponseTest &operator=(const ResponseTest &) = delete;

    void armRise();
    void armFall();
    // Aborts any test; the next elapsed values count from now.
    void clear();
    Tick tick(float ns);

    bool riseRunning() const { return riseRun; }
    bool fallRunning() const { return fallRun; }
    bool riseTiming() const { return riseTime; }
    bool fallTiming() const { return fallTime; }

    static bool inNearEndWindow(qint64 elapsedMs);
    // Minutes, seconds and milliseconds; whole hours are dropped.
    static QString formatElapsed(qint64 elapsedMs);

private:
    SteadyClock ownClock;
    const MonotonicClock *clock;
    bool riseRun = false;
    bool fallRun = false;
    bool riseTime = false;
    bool fallTime = false;
    bool hasStart = false;
    qint64 startMs = 0;
};

#endif
