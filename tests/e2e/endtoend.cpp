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
// read: values and polling, garbled and stray bytes, the link lost and
// found, and the example API client of docs/ run as a station would run
// it, its series ending in the record opacimeter-records shows (the API's fixed port is free in the
// test's own namespace; the series' events in detail are tst_ApiServer's).
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // Split and garbled streams are the frame cutter's (tst_core); here the
    // values cross a real connection.
    void valuesFollowSimulator()
    {
        e2e::Session s;
        QVERIFY(s.start({"--scenario", "steady", "--n", "12.34", "--ns", "56.7", "--k", "1.5",
                         "--chamber", "41", "--smoke", "88", "--energy", "3000"}));
        auto &ui = s.ui();
        QVERIFY(QTest::qWaitFor([&] {
            QStringList shown;
            for (QLabel *l : {ui.label_Nt, ui.label_Nst, ui.label_Kt, ui.label_airroomt, ui.label_smoket, ui.label_Ad})
                shown << l->text();
            return shown.join('|') == "12.34|56.7|1.5|41|88|3000";
        }, 5000));
        // Polling goes on at ten a second.
        const int polls = s.commands().count("213300AC");
        QVERIFY(s.waitForCommand("213300AC", polls + 10));
    }

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
        QCOMPARE(record.value(QStringLiteral("meter_address")).toString(), port);
        QCOMPARE(record.value(QStringLiteral("plate")).toString(), QStringLiteral("京S12345"));
        QCOMPARE(record.value(QStringLiteral("outcome")).toString(), QStringLiteral("valid"));
        QCOMPARE(record.value(QStringLiteral("mean_K")).toDouble(), 1.24);
    }

    // A stray 0x06 before every 7th reply: no measurement reply is lost, and
    // a calibration-done reply behind a stray byte still ends the calibration
    // and reaches the companion.
    void everyReplyArrives()
    {
        e2e::Session s;
        const auto sent = [&](const char *frame) { return s.log().count(frame); };
        QVERIFY(s.start({"--port", "8899", "--stray", "7", "--calibration-delay", "100"}));
        int decoded = 0;
        connect(s.access().session(), &LaneSession::readingTaken, [&] { ++decoded; });
        const int before = sent("sent 06330A");  // those before the counting began
        QVERIFY(QTest::qWaitFor([&] { return sent("sent 06330A") >= before + 30; }, 20000));
        s.access().pollTimer()->stop();
        // Every measurement reply the simulator sent was decoded, those behind a stray byte too.
        QVERIFY(QTest::qWaitFor([&] { return decoded == sent("sent 06330A") - before; }, 5000));

        // One poll at a time up to reply 7k - 2, so that the calibration-done reply is reply 7k.
        for (int n = sent("sent "); n % 7 != 5; n = sent("sent ")) {
            s.access().autosend();
            QVERIFY(QTest::qWaitFor([&] { return sent("sent ") > n; }, 5000));
        }
        s.ui().adjustButton->click();
        // The box closes before polling comes back.
        QVERIFY(QTest::qWaitFor([&] { return s.boxes.count() == 1; }, 15000));
        QVERIFY(s.access().pollTimer()->isActive());
        QCOMPARE(s.boxes.seen().first().text, QStringLiteral("校准完成"));
        QCOMPARE(sent("sent 063900C1 (after stray bytes 06)"), 1);
        QByteArray out;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_SHM_PATH), {"read"}, &out), 0);
        QVERIFY2(out.toUpper().contains("063900C1"), out.constData());
    }
};

OPA_TEST_CLASS(tst_EndToEnd)
#include "endtoend.moc"
