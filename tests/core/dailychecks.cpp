#include <QtTest>

#include "config/inifile.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "meter/frames.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

namespace {

QVector<double> steady(double n, int count = 50)
{
    return QVector<double>(count, n);
}

// A session on a hand-set clock (2026-05-01 08:30 + ms) with its checks.
struct Lane : testsupport::ClockedLane {
    DailyChecks checks{&session};

    explicit Lane(const QByteArray &ini = QByteArray())
    {
        testsupport::writeFile(QStringLiteral("set.ini"), ini);
        const settings::IniFile read;
        QStringList faults;
        checks.setFilters(readFilters(read, &faults));
        checks.setRequired(requireDailyChecks(read));
        CheckRules rules;
        QString error;
        if (CheckRules::read(read, &rules, &error))
            checks.setRules(rules);
        feed(0, 1);
    }
    bool run(CheckKind kind, double n, const QString &filter = QString())
    {
        QSignalSpy finished(&checks, &DailyChecks::checkFinished);
        if (!checks.start(kind, filter, nullptr))
            return false;
        if (kind == CheckKind::Zero)
            session.takeFrame(Frames::calibrationDone());
        feed(n, 6);
        return finished.count() == 1 && finished.at(0).at(0).value<CheckResult>().passed;
    }
};

const QByteArray Filters = "[Filters]\nF50=50.0,ZJ2026-118,2027-06-30\nOLD=30.0,ZJ2020-001,2026-04-30\n"
                           "BAD=fifty,ZJ1,2027-01-01\n";

} // namespace

// The daily checks: their tolerances at the edges, the rules and filters as
// set.ini gives them, checks run on the session's readings, and the day's
// lock on the session's clock.
class tst_DailyChecks : public QObject
{
    Q_OBJECT

private slots:
    void judged_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVector<double>>("readings");
        QTest::addColumn<double>("riseS");
        QTest::addColumn<double>("fallS");
        QTest::addColumn<bool>("passed");
        const int zero = int(CheckKind::Zero), filter = int(CheckKind::Filter), response = int(CheckKind::Response);
        QVector<double> spike = steady(0, 49) << 2.0;
        QVector<double> overSpike = steady(0, 49) << -2.01;
        QTest::newRow("zero clean") << zero << steady(0.0) << 0.0 << 0.0 << true;
        QTest::newRow("zero mean at +1.00") << zero << steady(1.0) << 0.0 << 0.0 << true;
        QTest::newRow("zero mean at -1.00") << zero << steady(-1.0) << 0.0 << 0.0 << true;
        QTest::newRow("zero mean 1.01") << zero << steady(1.01) << 0.0 << 0.0 << false;
        QTest::newRow("zero one reading at 2.00") << zero << spike << 0.0 << 0.0 << true;
        QTest::newRow("zero one reading at -2.01") << zero << overSpike << 0.0 << 0.0 << false;
        QTest::newRow("zero no readings") << zero << QVector<double>() << 0.0 << 0.0 << false;
        QTest::newRow("filter on nominal") << filter << steady(50.0) << 0.0 << 0.0 << true;
        QTest::newRow("filter +2.00") << filter << steady(52.0) << 0.0 << 0.0 << true;
        QTest::newRow("filter -2.00") << filter << steady(48.0) << 0.0 << 0.0 << true;
        QTest::newRow("filter +2.01") << filter << steady(52.01) << 0.0 << 0.0 << false;
        QTest::newRow("filter -2.01") << filter << steady(47.99) << 0.0 << 0.0 << false;
        QTest::newRow("response at the bound") << response << QVector<double>() << 1.1 << 1.1 << true;
        QTest::newRow("response fall over") << response << QVector<double>() << 0.5 << 1.11 << false;
        QTest::newRow("response rise over") << response << QVector<double>() << 1.2 << 0.5 << false;
    }
    void judged()
    {
        QFETCH(int, kind); QFETCH(QVector<double>, readings); QFETCH(double, riseS); QFETCH(double, fallS); QFETCH(bool, passed);
        const CheckRules rules;
        const ReferenceFilter f50{QStringLiteral("F50"), 50.0, QStringLiteral("ZJ1"), QDate(2027, 1, 1)};
        CheckResult r;
        if (kind == int(CheckKind::Zero))
            r = CheckJudge::zero(readings, rules);
        else if (kind == int(CheckKind::Filter))
            r = CheckJudge::filter(readings, f50, rules);
        else
            r = CheckJudge::response(riseS, fallS, rules);
        QCOMPARE(r.passed, passed);
    }

    void rules_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("error");  // empty: read
        QTest::addColumn<double>("zeroMean");
        QTest::addColumn<int>("daily");
        QTest::newRow("defaults") << QByteArray() << "" << 1.0 << 3;
        QTest::newRow("set") << QByteArray("[Checks]\nDaily=zero, filter\nZeroMean=0.5\n") << "" << 0.5 << 2;
        QTest::newRow("mean not a number") << QByteArray("[Checks]\nZeroMean=abc\n") << "ZeroMean" << 0.0 << 0;
        QTest::newRow("tolerance below 0") << QByteArray("[Checks]\nFilterTolerance=-1\n") << "FilterTolerance" << 0.0 << 0;
        QTest::newRow("unknown check") << QByteArray("[Checks]\nDaily=zero,smoke\n") << "Daily: 'smoke'" << 0.0 << 0;
        QTest::newRow("bounds crossed") << QByteArray("[Checks]\nResponseMin=2\nResponseMax=1\n") << "ResponseMin" << 0.0 << 0;
    }
    void rules()
    {
        QFETCH(QByteArray, ini); QFETCH(QString, error); QFETCH(double, zeroMean); QFETCH(int, daily);
        Lane lane(ini);
        CheckRules rules;
        rules.zeroMean = -1;
        QString why;
        QCOMPARE(CheckRules::read(settings::IniFile(), &rules, &why), error.isEmpty());
        QVERIFY2(error.isEmpty() ? why.isEmpty() : why.contains(error), qPrintable(why));
        if (error.isEmpty()) {
            QCOMPARE(rules.zeroMean, zeroMean);
            QCOMPARE(rules.daily.size(), daily);
        } else {
            QCOMPARE(rules.zeroMean, -1.0);  // untouched
        }
    }

    // A malformed line is named and left out; an overdue filter is refused
    // with its due date, before any reading is taken.
    void filtersRead()
    {
        Lane lane(Filters);
        QStringList faults;
        const QVector<ReferenceFilter> filters = readFilters(settings::IniFile(), &faults);
        QCOMPARE(filters.size(), 2);
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults.at(0).contains("BAD"), qPrintable(faults.at(0)));
        QString why;
        QVERIFY(!lane.checks.start(CheckKind::Filter, QStringLiteral("OLD"), &why));
        QVERIFY2(why.contains("OLD") && why.contains("2026-04-30"), qPrintable(why));
        QVERIFY(!lane.checks.start(CheckKind::Filter, QStringLiteral("F70"), &why));
        QVERIFY2(why.contains("F70"), qPrintable(why));
        QVERIFY(!lane.checks.running());
    }

    // The checks on the meter's readings, zero after the calibration reply
    // and the filter held in the beam off or near its nominal: the lock
    // refuses a test before the day's checks pass and lets it start after;
    // a failed check does not open it.
    void lockRefusesThenAllows()
    {
        Lane lane(Filters + "[Checks]\nRequireDaily=true\nDaily=zero,filter\n");
        lane.session.setStartGate([&] { return lane.checks.refusesTest(); });
        QSignalSpy calibrate(&lane.checks, &DailyChecks::calibrationWanted);
        QString why;
        QVERIFY(!lane.session.startTest(FreeAccelMethod::r24(), TestSubject(), &why));
        QCOMPARE(why, QStringLiteral("今日日常检查未完成：零点、滤光片"));
        QVERIFY(lane.run(CheckKind::Zero, 0.3));
        QCOMPARE(calibrate.count(), 1);
        QVERIFY(!lane.run(CheckKind::Filter, 46.0, QStringLiteral("F50")));
        QVERIFY(!lane.session.startTest(FreeAccelMethod::r24(), TestSubject(), &why));
        QCOMPARE(why, QStringLiteral("今日日常检查未完成：滤光片"));
        QVERIFY(lane.run(CheckKind::Filter, 50.8, QStringLiteral("F50")) && !lane.checks.running());
        QVERIFY(lane.session.startTest(FreeAccelMethod::r24(), TestSubject(), &why));
    }

    // Passes of yesterday do not count today, by the session's clock: a check
    // kept at 23:59 stops counting as the clock passes midnight.
    void yesterdayDoesNotCount()
    {
        Lane lane("[Checks]\nRequireDaily=true\nDaily=zero\n");
        const QDateTime now = lane.session.now().time;
        lane.checks.takeEarlier({{CheckKind::Zero, true, now.addDays(-1)}});
        QVERIFY(lane.checks.locked());
        lane.checks.takeEarlier({{CheckKind::Zero, true, now.addSecs(-60)}});
        QVERIFY(!lane.checks.locked());
        lane.clock.ms += now.msecsTo(QDateTime(now.date().addDays(1), QTime(0, 0, 1)));
        QVERIFY(lane.checks.locked());
        QCOMPARE(lane.checks.missing(), QVector<CheckKind>{CheckKind::Zero});
    }
};

OPA_TEST_CLASS(tst_DailyChecks)

#include "dailychecks.moc"
