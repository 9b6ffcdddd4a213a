#include <QtTest>

#include "support/testrunner.h"

#include "meter/responsetest.h"

// The response-time test driven tick by tick with chosen Ns values and
// chosen clock readings.
namespace {

// Reads 'now'; with a step, every reading moves the clock on by that much,
// so a second reading within one tick differs from the first.
class FakeClock : public MonotonicClock
{
public:
    qint64 nowMs() const override
    {
        const qint64 reading = now;
        now += step;
        return reading;
    }
    mutable qint64 now = 0;
    qint64 step = 0;
};

} // namespace

class tst_ResponseTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Rise test.
    void riseArmedAboveStartTimesOnFirstTick();
    void riseWaitsForStart();
    void riseEndsAtEnd();
    void riseNearEnd_data();
    void riseNearEnd();

    // Fall test.
    void fallArmedAboveBandWaits();
    void fallArmedBelowBandWaitsForBand();
    void fallNearEnd_data();
    void fallNearEnd();

    // The elapsed value.
    void oneElapsedValuePerTick();
    void staleStartTimeNotUsed();
    void clearAbortsTest();
    void acrossDayBoundary();
    void format_data();
    void format();

private:
    FakeClock clock;
};

void tst_ResponseTest::init()
{
    clock.now = 0;
    clock.step = 0;
}

void tst_ResponseTest::riseArmedAboveStartTimesOnFirstTick()
{
    clock.now = 5000;
    ResponseTest test(clock);
    test.armRise();
    const ResponseTest::Tick first = test.tick(10);
    QVERIFY(test.riseTiming());
    QVERIFY(first.showRise);
    QCOMPARE(first.elapsedText, QStringLiteral("00:00:000"));

    clock.now = 5400;
    const ResponseTest::Tick second = test.tick(50);
    QCOMPARE(second.elapsedMs, 400);
    QVERIFY(second.showRise);
    QVERIFY(!second.riseEnded);
}

void tst_ResponseTest::riseWaitsForStart()
{
    ResponseTest test(clock);
    test.armRise();
    for (qint64 t : {0, 100, 2000}) {
        clock.now = t;
        const ResponseTest::Tick tick = test.tick(9.99f);
        QVERIFY(!tick.showRise);
        QVERIFY(!tick.riseEnded);
    }
    QVERIFY(test.riseRunning());
    QVERIFY(!test.riseTiming());
    clock.now = 2200;
    test.tick(10);
    QVERIFY(test.riseTiming());
}

void tst_ResponseTest::riseEndsAtEnd()
{
    clock.now = 1000;
    ResponseTest test(clock);
    test.armRise();
    test.tick(0);
    clock.now = 1100;
    test.tick(12);           // timing from 1100
    clock.now = 1800;
    QVERIFY(!test.tick(89.99f).riseEnded);  // outside the near-end window
    clock.now = 2950;
    const ResponseTest::Tick end = test.tick(90);
    QVERIFY(end.riseEnded);
    QVERIFY(end.showRise);
    QCOMPARE(end.elapsedMs, 1850);
    QCOMPARE(end.elapsedText, QStringLiteral("00:01:850"));
    QVERIFY(!test.riseRunning());
    QVERIFY(!test.riseTiming());

    // The ended test shows nothing more.
    clock.now = 3000;
    const ResponseTest::Tick after = test.tick(95);
    QVERIFY(!after.showRise);
    QVERIFY(!after.riseEnded);
}

void tst_ResponseTest::riseNearEnd_data()
{
    QTest::addColumn<float>("ns");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<bool>("ends");

    QTest::newRow("85 at 1001") << 85.0f << qint64(1001) << true;
    QTest::newRow("89.99 at 1099") << 89.99f << qint64(1099) << true;
    QTest::newRow("87 at 1000") << 87.0f << qint64(1000) << false;
    QTest::newRow("87 at 1100") << 87.0f << qint64(1100) << false;
    QTest::newRow("84.99 at 1050") << 84.99f << qint64(1050) << false;
    QTest::newRow("90 at 500") << 90.0f << qint64(500) << true;
    QTest::newRow("100 at 5000") << 100.0f << qint64(5000) << true;
}

void tst_ResponseTest::riseNearEnd()
{
    QFETCH(float, ns);
    QFETCH(qint64, elapsed);
    QFETCH(bool, ends);

    clock.now = 20000;
    ResponseTest test(clock);
    test.armRise();
    test.tick(20);
    clock.now = 20000 + elapsed;
    const ResponseTest::Tick tick = test.tick(ns);
    QCOMPARE(tick.riseEnded, ends);
    QCOMPARE(test.riseRunning(), !ends);
    QCOMPARE(tick.elapsedMs, elapsed);
    QVERIFY(tick.showRise);
}

void tst_ResponseTest::fallArmedAboveBandWaits()
{
    ResponseTest test(clock);
    test.armFall();
    clock.now = 100;
    for (float ns : {100.0f, 95.0f, 90.01f}) {
        const ResponseTest::Tick tick = test.tick(ns);
        QVERIFY(!tick.fallStarted);
        QVERIFY(!tick.showFall);
    }
    clock.now = 300;
    const ResponseTest::Tick start = test.tick(90);
    QVERIFY(start.fallStarted);
    QVERIFY(start.showFall);
    QCOMPARE(start.elapsedText, QStringLiteral("00:00:000"));

    clock.now = 1534;
    const ResponseTest::Tick end = test.tick(10);
    QVERIFY(end.fallEnded);
    QCOMPARE(end.elapsedMs, 1234);
    QCOMPARE(end.elapsedText, QStringLiteral("00:01:234"));
    QVERIFY(!test.fallRunning());
    QVERIFY(!test.fallTiming());
}

void tst_ResponseTest::fallArmedBelowBandWaitsForBand()
{
    ResponseTest test(clock);
    test.armFall();
    // Below the band, even a reading at or under the end does not end a
    // test that has not started timing.
    for (float ns : {40.0f, 10.0f, 0.0f, 49.99f}) {
        clock.now += 1050;
        const ResponseTest::Tick tick = test.tick(ns);
        QVERIFY(!tick.fallEnded);
        QVERIFY(!tick.fallStarted);
        QVERIFY(!tick.showFall);
    }
    QVERIFY(test.fallRunning());

    clock.now = 10000;
    QVERIFY(test.tick(50).fallStarted);
    clock.now = 10500;
    QVERIFY(!test.tick(60).fallStarted);  // starts once only
    clock.now = 12000;
    const ResponseTest::Tick end = test.tick(-0.5f);
    QVERIFY(end.fallEnded);
    QCOMPARE(end.elapsedMs, 2000);
}

void tst_ResponseTest::fallNearEnd_data()
{
    QTest::addColumn<float>("ns");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<bool>("ends");

    QTest::newRow("10.01 at 1001") << 10.01f << qint64(1001) << true;
    QTest::newRow("29.99 at 1099") << 29.99f << qint64(1099) << true;
    QTest::newRow("20 at 1000") << 20.0f << qint64(1000) << false;
    QTest::newRow("20 at 1100") << 20.0f << qint64(1100) << false;
    QTest::newRow("30 at 1050") << 30.0f << qint64(1050) << false;
    QTest::newRow("10 at 500") << 10.0f << qint64(500) << true;
    QTest::newRow("10.01 at 500") << 10.01f << qint64(500) << false;
}

void tst_ResponseTest::fallNearEnd()
{
    QFETCH(float, ns);
    QFETCH(qint64, elapsed);
    QFETCH(bool, ends);

    clock.now = 40000;
    ResponseTest test(clock);
    test.armFall();
    QVERIFY(test.tick(70).fallStarted);
    clock.now = 40000 + elapsed;
    const ResponseTest::Tick tick = test.tick(ns);
    QCOMPARE(tick.fallEnded, ends);
    QCOMPARE(test.fallRunning(), !ends);
    QCOMPARE(tick.elapsedMs, elapsed);
    QVERIFY(tick.showFall);
}

void tst_ResponseTest::oneElapsedValuePerTick()
{
    // Every reading moves the clock on by 7 ms: the near-end check, the
    // result and the text must all use the tick's first reading.
    clock.step = 7;
    ResponseTest test(clock);
    test.armRise();
    test.tick(50);  // starts timing at 0
    clock.now = 1099;
    const ResponseTest::Tick tick = test.tick(87);
    QCOMPARE(tick.elapsedMs, 1099);
    QVERIFY(tick.riseEnded);
    QCOMPARE(tick.elapsedText, QStringLiteral("00:01:099"));
}

void tst_ResponseTest::staleStartTimeNotUsed()
{
    // A clear leaves a start time behind; a rise test armed 1050 ms later on
    // a reading already in the near-end band must time from its own start,
    // not end at once with the age of the clear.
    ResponseTest test(clock);
    test.clear();
    clock.now = 1050;
    test.armRise();
    const ResponseTest::Tick first = test.tick(87);
    QVERIFY(!first.riseEnded);
    QCOMPARE(first.elapsedMs, 0);
    QVERIFY(test.riseTiming());

    // Likewise a fall test armed right after a rise test that took 1.05 s.
    clock.now = 2101;
    QCOMPARE(test.tick(87).elapsedMs, 1051);  // ends the rise test
    QVERIFY(!test.riseRunning());
    clock.now = 2200;
    test.armFall();
    const ResponseTest::Tick fall = test.tick(70);
    QVERIFY(fall.fallStarted);
    QCOMPARE(fall.elapsedMs, 0);
}

void tst_ResponseTest::clearAbortsTest()
{
    ResponseTest test(clock);
    test.armRise();
    test.tick(50);
    test.clear();
    QVERIFY(!test.riseRunning());
    QVERIFY(!test.riseTiming());
    clock.now = 500;
    const ResponseTest::Tick rise = test.tick(95);
    QVERIFY(!rise.riseEnded);
    QVERIFY(!rise.showRise);

    test.armFall();
    test.tick(60);
    QVERIFY(test.fallTiming());
    test.clear();
    QVERIFY(!test.fallRunning());
    QVERIFY(!test.fallTiming());
    const ResponseTest::Tick fall = test.tick(5);
    QVERIFY(!fall.fallEnded);
    QVERIFY(!fall.showFall);
}

void tst_ResponseTest::acrossDayBoundary()
{
    // A test that starts half a second before a day's worth of milliseconds
    // and ends 1234 ms later: a time-of-day clock would have gone back to 0
    // in between and given a negative count.
    const qint64 day = 24 * 3600 * 1000;
    clock.now = day - 500;
    ResponseTest test(clock);
    test.armRise();
    test.tick(15);
    clock.now = day + 734;
    const ResponseTest::Tick end = test.tick(91);
    QVERIFY(end.riseEnded);
    QCOMPARE(end.elapsedMs, 1234);
    QCOMPARE(end.elapsedText, QStringLiteral("00:01:234"));
}

void tst_ResponseTest::format_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << QStringLiteral("00:00:000");
    QTest::newRow("1234 ms") << qint64(1234) << QStringLiteral("00:01:234");
    QTest::newRow("61 min 2 s") << qint64((61 * 60 + 2) * 1000) << QStringLiteral("01:02:000");
    QTest::newRow("last of an hour") << qint64(3600 * 1000 - 1) << QStringLiteral("59:59:999");
    QTest::newRow("whole hour") << qint64(3600 * 1000) << QStringLiteral("00:00:000");
    QTest::newRow("one before zero") << qint64(-1) << QStringLiteral("59:59:999");
}

void tst_ResponseTest::format()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(ResponseTest::formatElapsed(ms), text);
}

OPA_TEST_CLASS(tst_ResponseTest)
#include "responsetest.moc"
