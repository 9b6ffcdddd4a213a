#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>

#include "e2e/e2eharness.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "support/recordfixtures.h"
#include "meter/frames.h"
#include "support/testrunner.h"

// The program against the simulated meter and the companion tool, each a
// process of its own; the program runs in the test so that its form can be
// read: garbled and stray bytes, the reset's pacing, the link lost and
// found, and a meter on a serial line to its record. What the form shows of
// each reply is tst_Window::display's, split and garbled streams the frame
// cutter's (tst_core).
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // A meter that garbles every other reply: the garbled ones never
    // become readings, and the header strip's tooltip counts them.
    void garbledRepliesDropped()
    {
        e2e::Session s;
        QVERIFY(s.start({"--scenario", "steady", "--bad-checksum", "2"}));
        QSignalSpy readings(s.access().session(), &LaneSession::readingTaken);
        QVERIFY(QTest::qWaitFor([&] { return readings.count() >= 10; }, 5000));
        const int taken = readings.count();
        const QString tip = s.ui().frame->toolTip();
        s.window.reset();  // no more polls: what the simulator sent is in its log, give or take one
        QVERIFY(QTest::qWaitFor([&] { return s.log().contains("client disconnected"); }, 5000));
        int right = 0, wrong = 0;
        for (auto at = QRegularExpression(QStringLiteral(" sent (\\S+)")).globalMatch(QString::fromLatin1(s.log())); at.hasNext();)
            ++(Frames::checksumRight(QByteArray::fromHex(at.next().captured(1).toLatin1())) ? right : wrong);
        QVERIFY2(taken <= right && taken >= right - 2,
                 qPrintable(QStringLiteral("%1 readings, %2 good replies").arg(taken).arg(right)));
        const QRegularExpressionMatch shown = QRegularExpression(QStringLiteral("已丢弃 (\\d+) 帧")).match(tip);
        QVERIFY2(shown.hasMatch() && shown.captured(1).toInt() >= wrong - 2 && shown.captured(1).toInt() <= wrong,
                 qPrintable(tip + QStringLiteral(", %1 garbled").arg(wrong)));
    }

    // The server goes away and comes back: the values grey out, the header
    // says so, and live values return without a hand on the program.
    void valuesLiveAgainAfterOutage()
    {
        e2e::Session s;
        QVERIFY(s.start({"--quiet", "--outage", "1500:2500"}));
        QLabel *value = s.ui().label_Nt;
        QVERIFY(QTest::qWaitFor([&] { return value->text() == "12.34" && value->isEnabled(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !value->isEnabled(); }, 5000));
        QCOMPARE(s.ui().label_link->text(), QStringLiteral("连接中断，正在重连"));
        QVERIFY(QTest::qWaitFor([&] { return value->isEnabled(); }, 8000));
        QCOMPARE(s.ui().label_link->text(), QStringLiteral("已连接 127.0.0.1"));
    }

    // The window blocks between the factory reset's two calibration commands;
    // the meter must still get them a second apart.
    void resetCommandsReachMeterApart()
    {
        e2e::Session s;
        QVERIFY(s.start({}));
        s.access().seraildata(QByteArray::fromHex("064A00B0"));
        QVERIFY(s.waitForCommand("213900A6"));
        const int apartMs = s.commandTime("213800A7").msecsTo(s.commandTime("213900A6"));
        QVERIFY2(apartMs >= 900, qPrintable(QString::number(apartMs)));
    }

    // The meter on a serial line: readings, the port in the header, and a
    // free-acceleration series whose record names the port.
    void serialMeterToRecord()
    {
        e2e::Session s;
        const QString port = s.dir.filePath(QStringLiteral("ttyMeter"));
        QVERIFY(s.startOnSerial({"--scenario", "free-accel", "--peaks", "1.30,1.22,1.20,1.25", "--period", "3500", "--quiet"}, port));
        QSignalSpy readings(s.access().session(), &LaneSession::readingTaken);
        QVERIFY(QTest::qWaitFor([&] { return readings.count() >= 10 && s.ui().label_Kt->text() == "0.1"; }, 5000));
        QCOMPARE(s.ui().label_link->text(), QStringLiteral("已连接 ") + port);
        QVERIFY(!s.log().contains("listening on"));

        auto *recordMaker = s.window->findChild<RecordMaker *>(QStringLiteral("recordMaker"));
        QSignalSpy kept(recordMaker, &RecordMaker::recordKept);
        TestSubject subject;
        subject.vehicle = fixtures::vehicle(QStringLiteral("京S12345"));
        QVERIFY(s.access().session()->startTest(FreeAccelMethod::r24(), subject));
        QVERIFY(kept.wait(40000));
        QVERIFY(kept.first().at(1).toBool());
        QByteArray shown;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_RECORDS_PATH), {"show", kept.first().at(0).toString(), "--json", "--db",
                                                                 "results/opacimeter.sqlite"}, &shown), 0);
        const QJsonObject record = QJsonDocument::fromJson(shown).object();
        QCOMPARE(QStringList({record.value("meter_address").toString(), record.value("plate").toString(), record.value("outcome").toString(),
                              QString::number(record.value("mean_K").toDouble())}), QStringList({port, "京S12345", "valid", "1.24"}));
    }

    // A stray 0x06 before every 7th reply over a real connection: no
    // measurement reply is lost. A short reply behind a stray byte is the
    // frame cutter's (tst_WireFormats::meterStream); the calibration it ends
    // and its way to the companion are tst_Window's.
    void everyReplyArrives()
    {
        e2e::Session s;
        const auto sent = [&] { return s.log().count("sent 06330A"); };
        QVERIFY(s.start({"--port", "8899", "--stray", "7"}));
        int decoded = 0;
        connect(s.access().session(), &LaneSession::readingTaken, [&] { ++decoded; });
        const int before = sent();  // those before the counting began
        QVERIFY(QTest::qWaitFor([&] { return sent() >= before + 30; }, 20000));
        s.access().pollTimer()->stop();
        QVERIFY(QTest::qWaitFor([&] { return decoded == sent() - before; }, 5000));
    }
};

OPA_TEST_CLASS(tst_EndToEnd)
#include "endtoend.moc"
