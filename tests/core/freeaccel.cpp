#include <QtTest>

#include "support/testrunner.h"

#include "meter/freeaccelcsv.h"
#include "meter/freeaccelseries.h"
#include "meter/snapdetector.h"

Q_DECLARE_METATYPE(FreeAccelMethod)

// Free-acceleration series fed with shaped K curves, one reading every
// 100 ms as the meter is polled.
namespace {

// Straight segments: each (k, readings) goes from the level before it to k.
using Shape = QVector<QPair<double, int>>;

QVector<double> readings(const Shape &shape)
{
    QVector<double> out{shape.first().first};
    for (const auto &segment : shape)
        for (int i = 1; i <= segment.second; ++i)
            out << out.last() + (segment.first - out.last()) / (segment.second - i + 1);
    return out;
}

// Idle at 0.10, then one snap per peak: up in 0.5 s, back down in 0.8 s.
Shape snaps(const QVector<double> &peaks)
{
    Shape shape{{0.10, 12}};
    for (double peak : peaks)
        shape << qMakePair(peak, 5) << qMakePair(peak, 2) << qMakePair(0.10, 8)
              << qMakePair(0.10, 12);
    return shape;
}

} // namespace

class tst_FreeAccel : public QObject
{
    Q_OBJECT

private slots:
    void detection_data();
    void detection();
    void series_data();
    void series();
};

void tst_FreeAccel::detection_data()
{
    QTest::addColumn<QVector<double>>("k");
    QTest::addColumn<int>("snapCount");
    QTest::addColumn<double>("firstPeak");
    QTest::addColumn<bool>("cutOff");

    QVector<double> noise;  // +-0.03 at its worst: a lone high after ten lows
    for (int i = 0; i < 400; ++i)
        noise << (i % 11 == 10 ? 0.13 : 0.07);
    QTest::newRow("idle noise never a snap") << noise << 0 << 0.0 << false;
    QTest::newRow("double hump counts once, dip near idle for 0.3 s")
        << readings({{0.10, 15}, {1.20, 5}, {0.12, 4}, {0.12, 2}, {1.30, 3}, {0.10, 10}, {0.10, 10}})
        << 1 << 1.30 << false;
    QTest::newRow("tiny peak 0.15 above idle")
        << readings({{0.10, 15}, {0.25, 3}, {0.25, 1}, {0.10, 4}, {0.10, 10}}) << 1 << 0.25 << false;
    QTest::newRow("snap that never settles is cut off once")
        << readings({{0.10, 15}, {1.00, 5}, {1.00, 400}}) << 1 << 1.00 << true;
    QTest::newRow("two snaps on a drifting idle")
        << readings({{0.10, 15}, {0.60, 4}, {0.20, 6}, {0.20, 12}, {0.70, 4}, {0.20, 6}, {0.20, 12}})
        << 2 << 0.60 << false;
}

void tst_FreeAccel::detection()
{
    QFETCH(QVector<double>, k);
    QFETCH(int, snapCount);
    QFETCH(double, firstPeak);
    QFETCH(bool, cutOff);
    SnapDetector detector;
    QVector<Snap> found;
    for (int i = 0; i < k.size(); ++i) {
        Snap snap;
        if (detector.feed(i * 100, k.at(i), 30 * k.at(i), &snap))
            found << snap;
    }
    QCOMPARE(found.size(), snapCount);
    if (!found.isEmpty()) {
        QCOMPARE(found.first().peakK, firstPeak);
        QCOMPARE(found.first().peakN, 30 * found.first().peakK);
        QCOMPARE(found.first().cutOff, cutOff);
    }
}

void tst_FreeAccel::series_data()
{
    QTest::addColumn<FreeAccelMethod>("method");
    QTest::addColumn<QVector<double>>("peaks");
    QTest::addColumn<int>("snapCount");
    QTest::addColumn<QString>("csvTail");  // peaks_K,mean_K,valid,limit_K,verdict

    const FreeAccelMethod r24 = FreeAccelMethod::r24();
    FreeAccelMethod limited = r24;
    limited.hasLimit = true;
    limited.limitK = 1.44;
    FreeAccelMethod tighter = limited;
    tighter.limitK = 1.43;
    const QVector<double> fourInBand{1.50, 1.40, 1.45, 1.42};

    QTest::newRow("band met on the 4th snap")
        << r24 << fourInBand << 4 << "1.50;1.40;1.45;1.42,1.44,yes,,";
    QTest::newRow("band met exactly on the 7th snap")
        << r24 << QVector<double>{1.00, 1.60, 1.20, 1.50, 1.25, 1.40, 1.30} << 7
        << "1.50;1.25;1.40;1.30,1.36,yes,,";
    QTest::newRow("decreasing run rejected, next snap counts")
        << r24 << QVector<double>{1.40, 1.35, 1.30, 1.25, 1.30} << 5
        << "1.35;1.30;1.25;1.30,1.30,yes,,";
    QTest::newRow("10 snaps without validity")
        << r24 << QVector<double>{1.0, 2.0, 1.0, 2.0, 1.0, 2.0, 1.0, 2.0, 1.0, 2.0, 1.0} << 10
        << ",,no,,";
    QTest::newRow("n = 3 preset takes a decreasing run")
        << FreeAccelMethod::threeMean() << QVector<double>{1.60, 1.40, 1.20} << 3
        << "1.60;1.40;1.20,1.40,yes,,";
    QTest::newRow("result at the limit passes")
        << limited << fourInBand << 4 << "1.50;1.40;1.45;1.42,1.44,yes,1.44,合格";
    QTest::newRow("result above the limit fails")
        << tighter << fourInBand << 4 << "1.50;1.40;1.45;1.42,1.44,yes,1.43,不合格";
}

void tst_FreeAccel::series()
{
    QFETCH(FreeAccelMethod, method);
    QFETCH(QVector<double>, peaks);
    QFETCH(int, snapCount);
    QFETCH(QString, csvTail);

    FreeAccelSeries run;
    run.start(method, 0);
    const QVector<double> k = readings(snaps(peaks));
    int finishedAt = -1;
    for (int i = 0; i < k.size(); ++i)
        if (run.onReading(i * 100, k.at(i), 0).finished)
            finishedAt = i;
    QVERIFY(run.finished());
    QCOMPARE(run.snaps().size(), snapCount);
    QVERIFY(finishedAt >= 0 && run.endedMs() == finishedAt * 100);
    const QString line = FreeAccelCsv::line(run, QDateTime(QDate(2026, 5, 1), QTime(8, 30)));
    QCOMPARE(line, "2026-05-01T08:30:00," + method.name + ',' + csvTail);
    QVERIFY(!run.stop(k.size() * 100));  // an ended series is not abandoned later
}

OPA_TEST_CLASS(tst_FreeAccel)
#include "freeaccel.moc"
