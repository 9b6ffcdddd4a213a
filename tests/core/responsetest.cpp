#include <QtTest>

#include <functional>

#include "meter/responsetest.h"
#include "support/testrunner.h"

// The rise and fall test driven by a script: "@ms" sets the clock, "rise",
// "fall" and "clear" are the buttons, a number is a tick with that Ns. Each
// tick shows "-" (nothing), the elapsed time, or the elapsed time after
// "start:" (fall timing began) or "end:" (the test ended).
class tst_ResponseTest : public QObject
{
    Q_OBJECT

    // Reads as set; each reading also moves it on by 7 ms, so a tick that
    // read it twice would see two different times.
    struct FakeClock : MonotonicClock
    {
        qint64 nowMs() const override { return (now += 7) - 7; }
        mutable qint64 now = 0;
    };

private slots:
    void run_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("shown");

        QTest::newRow("rise: 10 to 90") << "rise 9.99 @100 10 @500 50 @1200 89.99 @1950 90 @2000 95"
            << "- 00:00:000 00:00:400 00:01:100 end:00:01:850 -";
        QTest::newRow("rise: from 85 at 1001") << "rise 20 @1000 89.99 @1001 84.99 @1001 85"
            << "00:00:000 00:01:000 00:01:001 end:00:01:001";
        // Whole hours are dropped from the time shown.
        QTest::newRow("fall: 90 to 10") << "fall 100 90.01 49.99 10 @300 90 @1400 10.01 @3662303 10"
            << "- - - - start:00:00:000 00:01:100 end:01:02:003";
        QTest::newRow("fall: under 30 at 1001, 1099")
            << "fall 50 @1000 20 @1001 30 @1001 10.01 @1001 fall 70 @2100 29.99"
            << "start:00:00:000 00:01:000 00:01:001 end:00:01:001 start:00:00:000 end:00:01:099";
        // Arming forgets the start time of a clear or of the test before.
        QTest::newRow("arming and clearing")
            << "clear @1050 rise 87 @2149 87 @2200 fall 70 @2300 clear 5"
            << "00:00:000 end:00:01:099 start:00:00:000 -";
    }

    void run()
    {
        QFETCH(QString, script); QFETCH(QString, shown);
        FakeClock clock;
        ResponseTest test(clock);
        const QMap<QString, std::function<void()>> buttons{{"rise", [&] { test.armRise(); }},
                                                          {"fall", [&] { test.armFall(); }},
                                                          {"clear", [&] { test.clear(); }}};
        QStringList seen;
        for (const QString &step : script.split(QLatin1Char(' '))) {
            if (step.startsWith(QLatin1Char('@')))
                clock.now = step.mid(1).toLongLong();
            else if (buttons.contains(step))
                buttons[step]();
            else {
                const ResponseTest::Tick t = test.tick(step.toFloat());
                const char *tag = t.riseEnded || t.fallEnded ? "end:" : t.fallStarted ? "start:" : "";
                seen << (t.showRise || t.showFall ? tag + t.elapsedText : QStringLiteral("-"));
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), shown);
    }
};

OPA_TEST_CLASS(tst_ResponseTest)
#include "responsetest.moc"
