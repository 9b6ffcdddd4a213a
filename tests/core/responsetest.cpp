#include <QtTest>

#include "meter/responsetest.h"
#include "support/testrunner.h"

namespace {

// Reads as set; every reading also moves it on by 7 ms, so a tick that read
// the clock twice would see two different times.
class FakeClock : public MonotonicClock
{
public:
    qint64 nowMs() const override { return (now += 7) - 7; }
    mutable qint64 now = 0;
};

} // namespace

// The rise and fall test run tick by tick from a script: "@ms" sets the
// clock, "rise", "fall" and "clear" are the buttons, a number is a tick
// with that Ns. Each tick shows "-" (nothing), the elapsed text, or that
// text after "start:" (fall timing began) or "end:" (the test ended).
class tst_ResponseTest : public QObject
{
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("shown");

        QTest::newRow("rise: from 10 to 90") << "rise @0 9.99 @100 10 @500 50 @1950 90 @2000 95"
                                             << "- 00:00:000 00:00:400 end:00:01:850 -";
        QTest::newRow("rise: above the start when armed") << "@5000 rise 50 @5400 89.99"
                                                          << "00:00:000 00:00:400";
        QTest::newRow("rise: 85 at 1001") << "rise 20 @1001 85" << "00:00:000 end:00:01:001";
        QTest::newRow("rise: 89.99 at 1099") << "rise 20 @1099 89.99" << "00:00:000 end:00:01:099";
        QTest::newRow("rise: 89 at 1000") << "rise 20 @1000 89" << "00:00:000 00:01:000";
        QTest::newRow("rise: 89 at 1100") << "rise 20 @1100 89" << "00:00:000 00:01:100";
        QTest::newRow("rise: 84.99 at 1050") << "rise 20 @1050 84.99" << "00:00:000 00:01:050";
        QTest::newRow("fall: from above the band") << "fall 100 90.01 @300 90 @1534 10.01 @1600 10"
                                                   << "- - start:00:00:000 00:01:234 end:00:01:300";
        QTest::newRow("fall: below the band until 50") << "fall 40 10 0 49.99 @200 50 @900 60 @1200 -1"
                                                       << "- - - - start:00:00:000 00:00:700 end:00:01:000";
        QTest::newRow("fall: 10.01 at 1001") << "fall 70 @1001 10.01" << "start:00:00:000 end:00:01:001";
        QTest::newRow("fall: 29.99 at 1099") << "fall 70 @1099 29.99" << "start:00:00:000 end:00:01:099";
        QTest::newRow("fall: 20 at 1000") << "fall 70 @1000 20" << "start:00:00:000 00:01:000";
        QTest::newRow("fall: 20 at 1100") << "fall 70 @1100 20" << "start:00:00:000 00:01:100";
        QTest::newRow("fall: 30 at 1050") << "fall 70 @1050 30" << "start:00:00:000 00:01:050";
        // Arming forgets the start of a clear or of the test before.
        QTest::newRow("rise armed 1050 ms after a clear") << "clear @1050 rise 87 @2101 87"
                                                          << "00:00:000 end:00:01:051";
        QTest::newRow("fall armed after a rise") << "rise 50 @1050 90 @1060 fall 70"
                                                 << "00:00:000 end:00:01:050 start:00:00:000";
        QTest::newRow("clear aborts") << "rise 50 @500 clear 95 fall 60 @900 clear 5"
                                      << "00:00:000 - start:00:00:000 -";
        QTest::newRow("minutes; whole hours dropped") << "rise 50 @62003 60 @3600000 70"
                                                      << "00:00:000 01:02:003 00:00:000";
    }

    void run()
    {
        QFETCH(QString, script);
        QFETCH(QString, shown);
        FakeClock clock;
        ResponseTest test(clock);
        QStringList seen;
        for (const QString &step : script.split(QLatin1Char(' '))) {
            if (step.startsWith(QLatin1Char('@')))
                clock.now = step.mid(1).toLongLong();
            else if (step == QLatin1String("rise"))
                test.armRise();
            else if (step == QLatin1String("fall"))
                test.armFall();
            else if (step == QLatin1String("clear"))
                test.clear();
            else {
                const ResponseTest::Tick t = test.tick(step.toFloat());
                const QString head = t.riseEnded || t.fallEnded ? "end:" : t.fallStarted ? "start:" : "";
                seen << (t.showRise || t.showFall ? head + t.elapsedText : QStringLiteral("-"));
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), shown);
    }
};

OPA_TEST_CLASS(tst_ResponseTest)
#include "responsetest.moc"
