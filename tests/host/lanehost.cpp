#include <QtTest>

#include "api/apibridge.h"
#include "api/apiserver.h"
#include "host/lanehost.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "meter/frames.h"
#include "net/meterlink.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/apirig.h"

using apirig::field;
using testsupport::measurementReply;
using testsupport::writeFile;

namespace {

// The API off, so that no test but wholeLane listens.
const QByteArray ApiOff = "[Api]\nEnabled=false\n";

} // namespace

// The lane without a window: readings from the simulator, a series started
// through the API ending in a record the API lists; the services after the
// first poll; the maxima and the method in use the host holds.
class tst_LaneHost : public QObject
{
    Q_OBJECT

private slots:
    void wholeLane();
    void servicesAfterFirstPoll_data();
    void servicesAfterFirstPoll();
    void maxima_data();
    void maxima();
    void methodInUse();
    void dailyChecks();
    void calibrationNeverReported();
};

void tst_LaneHost::wholeLane()
{
    testsupport::ScopedWorkDir work;
    // Idle, then three snaps whose mean is 1.45 in whichever order a series meets them.
    QByteArray rows;
    for (double k : testsupport::snapCurve({1.50, 1.40, 1.45}))
        rows += "1000,0," + QByteArray::number(qRound(k * 100)) + ",20,21,100\n";
    QTcpServer probe;  // a free port for the API
    QVERIFY(probe.listen(QHostAddress::LocalHost) && writeFile(work.filePath("rows.csv"), rows)
            && writeFile(work.filePath("set.ini"), QStringLiteral("[Server]\nIP=127.0.0.1\n[Api]\nListen=127.0.0.1:%1\nToken=%2\n")
                                                       .arg(probe.serverPort()).arg(apirig::Token).toUtf8()));
    probe.close();
    QProcess sim;
    sim.start(QStringLiteral(OPA_SIM_PATH), {"--scenario", "file", work.filePath("rows.csv"), "--quiet"});
    QVERIFY(sim.waitForReadyRead(10000));

    LaneHost host;
    host.driveLinkItself();
    host.startApiWithServices();
    host.start();
    host.findMeter();
    QTRY_VERIFY_WITH_TIMEOUT(host.session()->hasReading() && host.apiBridge(), 10000);
    QCOMPARE(host.session()->lastReading().n, 10.0f);
    apirig::Peer peer(*host.apiBridge()->server());
    QCOMPARE(field(peer.waitType("hello").value(QStringLiteral("link")).toObject(), "state"), QStringLiteral("connected"));
    const QJsonObject started = peer.ask(apirig::withToken(apirig::cmd("startTest", {{QStringLiteral("method"), QStringLiteral("三次平均")},
        {QStringLiteral("operator"), QStringLiteral("李四")},
        {QStringLiteral("vehicle"), QJsonObject{{QStringLiteral("plate"), QStringLiteral("京A12345")}, {QStringLiteral("category"), QStringLiteral("N2")}}}})));
    QVERIFY2(started.value(QStringLiteral("ok")).toBool(), qPrintable(field(started, "error")));
    const auto record = [&peer] { return peer.ofType("record").value(0); };
    QVERIFY(QTest::qWaitFor([&] { return !record().isEmpty(); }, 30000));
    QVERIFY(record().value(QStringLiteral("stored")).toBool());

    const QJsonObject list = peer.ask(apirig::withToken(apirig::cmd("listRecords", {})));
    const QJsonObject kept = list.value(QStringLiteral("records")).toArray().first().toObject();
    QCOMPARE(field(kept, "id") + ' ' + field(kept, "plate") + ' ' + field(kept, "mean_K"),
             field(record(), "id") + QStringLiteral(" 京A12345 1.45"));
    sim.kill();
    sim.waitForFinished();
}

void tst_LaneHost::servicesAfterFirstPoll_data()
{
    QTest::addColumn<bool>("polled");
    QTest::addColumn<int>("withinMs");
    QTest::newRow("first poll") << true << LaneHost::ServicesLatestMs / 2;
    QTest::newRow("meter away") << false << LaneHost::ServicesLatestMs * 3;
}

// The database, the station link and the API wait for the first poll, and
// for a meter that never answers no longer than ServicesLatestMs.
void tst_LaneHost::servicesAfterFirstPoll()
{
    QFETCH(bool, polled); QFETCH(int, withinMs);
    testsupport::ScopedWorkDir work;
    QVERIFY(writeFile(work.filePath("set.ini"), ApiOff));
    LaneHost host;
    host.startApiWithServices();
    QSignalSpy ready(&host, &LaneHost::servicesReady);
    QElapsedTimer clock;
    clock.start();
    host.start();
    QVERIFY(!host.servicesRunning() && !host.stationLink() && !host.apiBridge());
    if (polled)
        host.meterLink()->pollTimer()->start(0);
    QTRY_VERIFY_WITH_TIMEOUT(host.servicesRunning() && host.stationLink() && host.apiBridge(), withinMs);
    QVERIFY(polled || clock.elapsed() >= LaneHost::ServicesLatestMs);
    QCOMPARE(ready.count(), 1);
    host.meterLink()->pollTimer()->stop();
}

void tst_LaneHost::maxima_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("expected");  // N Ns K
    QTest::addColumn<int>("changes");
    const QByteArray low = measurementReply(500, 100, 30, 20, 21, 100);
    const QByteArray high = measurementReply(2000, 900, 150, 20, 21, 100);
    QTest::newRow("raised") << QByteArrayList{low, high} << QStringLiteral("20 9 1.5") << 2;
    QTest::newRow("lower kept") << QByteArrayList{high, low} << QStringLiteral("20 9 1.5") << 1;
    QTest::newRow("no K leaves K") << QByteArrayList{low, measurementReply(3000, 950, -5, 20, 21, 100)}
                                   << QStringLiteral("30 9.5 0.3") << 2;
    QTest::newRow("zeros raise nothing") << QByteArrayList{measurementReply(0, 0, 0, 0, 0, 0)} << QStringLiteral("0 0 0") << 0;
}

// Raised by every reading before a view hears of it; cleared from the API
// as from the button.
void tst_LaneHost::maxima()
{
    QFETCH(QByteArrayList, replies); QFETCH(QString, expected); QFETCH(int, changes);
    testsupport::ScopedWorkDir work;
    QVERIFY(writeFile(work.filePath("set.ini"), ApiOff));
    LaneHost host;
    QSignalSpy changed(&host, &LaneHost::maximaChanged);
    for (const QByteArray &reply : replies)
        QCOMPARE(host.takeFrame(reply), Measurement::FrameKind::Measurement);
    const LaneHost::Maxima m = host.maxima();
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(m.n).arg(m.ns).arg(m.k), expected);
    QCOMPARE(changed.count(), changes);
    host.startApi();
    QString error;
    QVERIFY(host.apiBridge()->clearMaxima(&error));
    QCOMPARE(host.maxima().n + host.maxima().ns + host.maxima().k, 0.0f);
}

// The method chosen reaches the API's tests at once, and the next start.
void tst_LaneHost::methodInUse()
{
    testsupport::ScopedWorkDir work;
    QVERIFY(writeFile(work.filePath("set.ini"), ApiOff));
    FreeAccelMethod chosen = FreeAccelMethod::threeMean();
    chosen.hasLimit = true;
    chosen.limitK = 1.20;
    {
        LaneHost host;
        QCOMPARE(host.methodInUse().name, FreeAccelMethod::r24().name);
        host.startApi();
        host.useMethod(chosen);
        QString error;
        QVERIFY2(host.apiBridge()->startTest(api::Vehicle(), QString(), QString(), &error), qPrintable(error));
        QCOMPARE(host.session()->series().method().name + ' ' + QString::number(host.session()->subject().limit.limitK),
                 chosen.name + QStringLiteral(" 1.2"));
        host.session()->stopTest();
    }
    LaneHost next;
    QVERIFY(next.methodInUse().sameRules(chosen) && next.methodInUse().limitK == chosen.limitK);
}

// The day's checks lock tests in a lane without a window too, and the
// zero check's calibration runs without one: nothing polled between the two
// steps, the second no sooner than CalibrationStepsApartMs after the first,
// polling again once the meter reports it done.
void tst_LaneHost::dailyChecks()
{
    testsupport::ScopedWorkDir work;
    QVERIFY(writeFile(work.filePath("set.ini"), ApiOff + "[Server]\nIP=127.0.0.1\n[Checks]\nRequireDaily=true\nDaily=zero\n"));
    testsupport::LoopbackServer meter;
    QVERIFY(meter.listen());
    QElapsedTimer sinceStep1;
    qint64 stepsApartMs = -1;
    meter.reply = [&](const QByteArray &command) {
        if (command == Frames::calibrateStep1())
            sinceStep1.start();
        if (command == Frames::calibrateStep2()) {
            stepsApartMs = sinceStep1.elapsed();
            return Frames::calibrationDone();
        }
        return command == Frames::readMeasurement() ? measurementReply(0, 0, 0, 20, 21, 100) : QByteArray();
    };
    LaneHost host;
    host.driveLinkItself();
    DailyChecks *checks = host.addDailyChecks();
    QCOMPARE(host.addDailyChecks(), checks);  // once
    connect(checks, &DailyChecks::calibrationWanted, &host, &LaneHost::calibrate);
    host.start();
    host.findMeter();
    QTRY_VERIFY_WITH_TIMEOUT(host.session()->hasReading(), 10000);
    QString why;
    QVERIFY(!host.session()->startTest(FreeAccelMethod::r24(), TestSubject(), &why));
    QCOMPARE(why, QStringLiteral("今日日常检查未完成：零点"));
    QVERIFY2(checks->start(CheckKind::Zero, QString(), &why), qPrintable(why));
    QVERIFY(!host.session()->startTest(FreeAccelMethod::r24(), TestSubject(), &why));
    QCOMPARE(why, QStringLiteral("日常检查正在进行"));
    QSignalSpy finished(checks, &DailyChecks::checkFinished);
    QVERIFY(finished.wait(DailyChecks::CalibrationWaitMs + DailyChecks::SampleMs + 5000));
    QVERIFY(finished.first().first().value<CheckResult>().passed && checks->missing().isEmpty());
    QVERIFY2(stepsApartMs >= LaneHost::CalibrationStepsApartMs - 50, qPrintable(QString::number(stepsApartMs)));  // the wire's jitter
    const QList<QByteArray> sent = meter.commands();
    const int one = sent.indexOf(Frames::calibrateStep1()), two = sent.indexOf(Frames::calibrateStep2());
    QCOMPARE(two, one + 1);
    QVERIFY(sent.mid(two).contains(Frames::readMeasurement()));
    QVERIFY2(host.session()->startTest(FreeAccelMethod::r24(), TestSubject(), &why), qPrintable(why));
    host.session()->stopTest();
}

// A meter that never reports its calibration done is polled again all the same.
void tst_LaneHost::calibrationNeverReported()
{
    testsupport::ScopedWorkDir work;
    QVERIFY(writeFile(work.filePath("set.ini"), ApiOff + "[Server]\nIP=127.0.0.1\n"));
    testsupport::LoopbackServer meter;
    QVERIFY(meter.listen());
    meter.reply = [](const QByteArray &command) {
        return command == Frames::readMeasurement() ? measurementReply(0, 0, 0, 20, 21, 100) : QByteArray();
    };
    LaneHost host;
    host.driveLinkItself();
    host.setCalibrationPacing(50, 1000);
    host.start();
    host.findMeter();
    QTRY_VERIFY_WITH_TIMEOUT(host.session()->hasReading(), 10000);
    host.calibrate();
    QTRY_VERIFY(meter.commands().contains(Frames::calibrateStep2()));
    QVERIFY(!host.meterLink()->pollTimer()->isActive());
    QTRY_VERIFY(meter.commands().mid(meter.commands().indexOf(Frames::calibrateStep2())).contains(Frames::readMeasurement()));
}

OPA_TEST_CLASS(tst_LaneHost)
#include "lanehost.moc"
