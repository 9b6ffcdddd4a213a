#include <QtTest>

#include "support/testrunner.h"

#include "e2eharness.h"

// The link to the meter as the operator sees it, against the simulator.
class tst_Link : public QObject
{
    Q_OBJECT

private slots:
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

    // The meter switched on after the program, its address stored: the
    // program, looking by itself, polls it within 2 s of its start.
    void meterSwitchedOnLater()
    {
        e2e::Session s;
        s.showWindow();
        QVERIFY(QTest::qWaitFor([&] { return s.ui().label_link->text() == QStringLiteral("正在查找仪表"); }, 5000));
        const QTime switchedOn = QTime::currentTime();
        QVERIFY(s.startSimulator({"--scenario", "steady"}));
        QVERIFY(s.waitForCommand("213300AC"));
        const int afterMs = switchedOn.msecsTo(s.commandTime("213300AC"));
        qInfo("first poll %d ms after the simulator's start", afterMs);
        QVERIFY2(afterMs >= 0 && afterMs <= 2000, qPrintable(QString::number(afterMs)));
        QCOMPARE(s.ui().label_link->text(), QStringLiteral("已连接 127.0.0.1"));
    }
};

OPA_TEST_CLASS(tst_Link)
#include "link.moc"
