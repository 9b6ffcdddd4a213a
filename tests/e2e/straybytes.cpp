#include <QtTest>

#include "support/testrunner.h"

#include "e2eharness.h"
#include "lane/lanesession.h"

// The program against a simulated meter that puts a stray 0x06 before every
// 7th reply: no measurement reply may be lost, and a calibration-done reply
// behind a stray byte must still end the calibration and reach the companion.
class tst_StrayBytesEndToEnd : public QObject
{
    Q_OBJECT

private slots:
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

OPA_TEST_CLASS(tst_StrayBytesEndToEnd)
#include "straybytes.moc"
