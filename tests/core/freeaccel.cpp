#include <QtTest>

#include "support/testrunner.h"

#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"
#include "support/testsupport.h"

// Free-acceleration series fed with shaped K curves, one reply every
// 100 ms as the meter is polled: the snap detector alone, and whole series
// run by the lane's session on a subject whose limit makes the verdict.
namespace {

// Straight segments: each (k, readings) goes from the level before it to k.
using Shape = QVector<QPair<double, int>>;
using Peaks = QVector<double>;

Peaks readings(const Shape &shape)
{
    Peaks out{shape.first().first};
    for (const auto &segment : shape)
        for (int i = 1; i <= segment.second; ++i)
            out << out.last() + (segment.first - out.last()) / (segment.second - i + 1);
    return out;
}

} // namespace

class tst_FreeAccel : public QObject
{
    Q_OBJECT

private slots:
    void detection_data()
    {
        QTest::addColumn<Peaks>("k");
        QTest::addColumn<Peaks>("peaks");

        Peaks noise;  // +-0.03 at its worst: a lone high after ten lows
        for (int i = 0; i < 400; ++i)
            noise << (i % 11 == 10 ? 0.13 : 0.07);
        QTest::newRow("idle noise never a snap") << noise << Peaks{};
        QTest::newRow("double hump counts once, dip near idle for 0.3 s")
            << readings({{0.10, 15}, {1.20, 5}, {0.12, 4}, {0.12, 2}, {1.30, 3}, {0.10, 8}, {0.10, 8}}) << Peaks{1.30};
        QTest::newRow("tiny peak 0.15 above idle")
            << readings({{0.10, 15}, {0.25, 3}, {0.25, 1}, {0.10, 4}, {0.10, 10}}) << Peaks{0.25};
        QTest::newRow("snap that never settles is cut off once")
            << readings({{0.10, 15}, {1.00, 5}, {1.00, 400}}) << Peaks{1.00};
        QTest::newRow("two snaps, the idle smokier after the first")
            << readings({{0.10, 15}, {0.60, 4}, {0.20, 6}, {0.20, 12}, {0.70, 4}, {0.20, 6}, {0.20, 12}})
            << Peaks{0.60, 0.70};
    }

    void detection()
    {
        QFETCH(Peaks, k); QFETCH(Peaks, peaks);
        SnapDetector detector;
        Peaks found;
        Snap snap;
        for (int i = 0; i < k.size(); ++i)
            if (detector.feed(i * 100, k.at(i), 0, &snap))
                found << snap.peakK;
        QCOMPARE(found.size(), peaks.size());
        for (int i = 0; i < found.size(); ++i)
            QCOMPARE(found.at(i), peaks.at(i));
    }

    void series_data()
    {
        QTest::addColumn<FreeAccelMethod>("method");
        QTest::addColumn<Peaks>("peaks");
        QTest::addColumn<QString>("csvTail");  // peaks_K,mean_K,valid,limit_K,verdict
        QTest::addColumn<TestSubject>("subject");

        const FreeAccelMethod r24 = FreeAccelMethod::r24();
        // The method's own limit gives way to the subject's.
        FreeAccelMethod limited = r24;
        limited.hasLimit = true;
        limited.limitK = 0.5;
        const Peaks inBand{1.50, 1.40, 1.45, 1.42};
        Vehicle truck;
        truck.plate = QStringLiteral(" 京a12345 ");
        truck.plateValueK = 1.44;
        const TestSubject byPlateValue = TestSubject::of(truck, QStringLiteral("王工"), LimitsTable());

        QTest::newRow("band met on the 4th snap") << r24 << inBand << "1.50;1.40;1.45;1.42,1.44,yes,," << TestSubject();
        QTest::newRow("band met exactly on the 7th snap")
            << r24 << Peaks{1.00, 1.60, 1.20, 1.50, 1.25, 1.40, 1.30} << "1.50;1.25;1.40;1.30,1.36,yes,," << TestSubject();
        QTest::newRow("decreasing run rejected, next snap counts")
            << r24 << Peaks{1.40, 1.35, 1.30, 1.25, 1.30} << "1.35;1.30;1.25;1.30,1.30,yes,," << TestSubject();
        QTest::newRow("10 snaps without validity")
            << r24 << Peaks{1, 2, 1, 2, 1, 2, 1, 2, 1, 2} << ",,no,," << TestSubject();  // ends on the 10th
        QTest::newRow("n = 3 preset takes a decreasing run")
            << FreeAccelMethod::threeMean() << Peaks{1.60, 1.40, 1.20} << "1.60;1.40;1.20,1.40,yes,," << TestSubject();
        QTest::newRow("result at the plate value passes")
            << limited << inBand << "1.50;1.40;1.45;1.42,1.44,yes,1.44,合格" << byPlateValue;
    }

    void series()
    {
        QFETCH(FreeAccelMethod, method); QFETCH(Peaks, peaks); QFETCH(QString, csvTail);
        QFETCH(TestSubject, subject);

        testsupport::ScopedWorkDir dir;
        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        QSignalSpy finished(&session, &LaneSession::seriesFinished);
        QVERIFY(session.startTest(method, subject));
        for (double value : testsupport::snapCurve(peaks)) {
            session.takeFrame(testsupport::measurementReply(0, 0, qint16(qRound(value * 100)), 0, 0, 0));
            clock.ms += 100;
        }
        QCOMPARE(finished.count(), 1);  // ends by itself, once; later replies change nothing
        const FinishedSeries outcome = finished.at(0).at(0).value<FinishedSeries>();
        QCOMPARE(outcome.snaps.size(), outcome.valid() ? outcome.snaps.size() : method.maxSnaps);
        QCOMPARE(FreeAccelCsv::line(outcome).section(',', 1), method.name + ',' + csvTail);
        // The outcome carries its subject, as started and normalised, for the record.
        QCOMPARE(outcome.subject.vehicle.plate, subject.vehicle.plate.trimmed().toUpper());
        QCOMPARE(outcome.subject.operatorName, subject.operatorName);
        QCOMPARE(int(outcome.subject.limit.source), int(subject.limit.source));
    }

    void startRefused_data()
    {
        QTest::addColumn<QString>("plate");
        QTest::addColumn<QString>("vin");
        QTest::addColumn<double>("manualK");  // 0: none
        QTest::addColumn<bool>("running");    // a series runs already
        QTest::addColumn<QString>("why");     // empty: the start is taken
        QTest::newRow("service test") << "" << "" << 0.0 << false << "";
        QTest::newRow("plate of 17") << "京A1234567890ABCDE" << "" << 0.0 << false << "号牌号码";
        QTest::newRow("VIN with an O") << "京A12345" << "1M8GDM9AXKPO42788" << 0.0 << false << "VIN";
        QTest::newRow("VIN check digit wrong: the operator's call")
            << "京A12345" << "1M8GDM9A1KP042788" << 0.0 << false << "";
        QTest::newRow("manual limit of zero") << "" << "" << -1.0 << false << "限值";
        QTest::newRow("series running") << "京A12345" << "" << 0.0 << true << "测量正在进行";
    }

    void startRefused()
    {
        QFETCH(QString, plate); QFETCH(QString, vin); QFETCH(double, manualK); QFETCH(bool, running);
        QFETCH(QString, why);
        testsupport::ScopedWorkDir dir;
        LaneSession session;
        QSignalSpy started(&session, &LaneSession::seriesStarted);
        if (running)
            QVERIFY(session.startTest(FreeAccelMethod::r24()));
        Vehicle v;
        v.plate = plate;
        v.vin = vin;
        std::optional<double> manual;
        if (manualK != 0)
            manual = qMax(0.0, manualK);
        QString whyNot;
        const bool taken = session.startTest(FreeAccelMethod::r24(),
                                             TestSubject::of(v, QString(), LimitsTable(), manual), &whyNot);
        QCOMPARE(taken, why.isEmpty());
        QVERIFY2(whyNot.contains(why), qPrintable(whyNot));
        QCOMPARE(started.count(), int(running) + int(taken));
        QCOMPARE(session.subject().vehicle.plate, taken ? plate : QString());
    }
};

OPA_TEST_CLASS(tst_FreeAccel)
#include "freeaccel.moc"
