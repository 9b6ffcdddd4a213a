#include <QtTest>

#include <QDateTime>
#include <QElapsedTimer>
#include <QTime>

#include "meter/responsetest.h"
#include "wallclockshift.h"

// The response test on the program's own clock while the wall clock of the
// process is set during a run or passes midnight.
class tst_ResponseClock : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void wallClockMoves_data();
    void wallClockMoves();
};

void tst_ResponseClock::cleanup()
{
    wallclock::setShift(0);
}

void tst_ResponseClock::wallClockMoves_data()
{
    QTest::addColumn<bool>("toMidnight");   // start just before local midnight
    QTest::addColumn<qint64>("setDuring");  // clock set while timing

    QTest::newRow("set back one hour") << false << qint64(-3600 * 1000);
    QTest::newRow("set forward one hour") << false << qint64(3600 * 1000);
    QTest::newRow("across midnight") << true << qint64(0);
}

void tst_ResponseClock::wallClockMoves()
{
    QFETCH(bool, toMidnight);
    QFETCH(qint64, setDuring);

    constexpr int runMs = 300;
    const qint64 dayMs = 24 * 3600 * 1000;
    qint64 base = 0;
    if (toMidnight)
        base = dayMs - 150 - QTime::currentTime().msecsSinceStartOfDay();
    wallclock::setShift(base);

    ResponseTest test;
    test.armRise();
    test.tick(20);
    QVERIFY(test.riseTiming());
    const QTime wallStartTime = QTime::currentTime();
    const qint64 wallStart = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer real;
    real.start();

    wallclock::setShift(base + setDuring);
    QVERIFY(QTest::qWaitFor([&] { return real.hasExpired(runMs); }, 10000));
    // The wall clock really moved as the row says.
    if (toMidnight)
        QVERIFY2(QTime::currentTime() < wallStartTime, "the wall clock did not pass midnight");
    else
        QVERIFY2(qAbs(QDateTime::currentMSecsSinceEpoch() - wallStart - setDuring) < 60000,
                 "the wall clock was not set");

    const ResponseTest::Tick end = test.tick(95);
    QVERIFY(end.riseEnded);
    QVERIFY2(end.elapsedMs >= runMs && end.elapsedMs < runMs + 30000,
             qPrintable(QString::number(end.elapsedMs)));
}

QTEST_GUILESS_MAIN(tst_ResponseClock)
#include "tst_responseclock.moc"
