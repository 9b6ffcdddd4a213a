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
        const QByteArray log = s.log();
        const auto at = [&](const char *command) {
            const int end = log.indexOf(QByteArray(" recv ") + command);
            return QTime::fromString(QString::fromLatin1(log.mid(log.lastIndexOf('\n', end) + 1, 12)),
                                     QStringLiteral("hh:mm:ss.zzz"));
        };
        const int apartMs = at("213800A7").msecsTo(at("213900A6"));
        QVERIFY2(apartMs >= 900, qPrintable(QString::number(apartMs)));
    }
};

OPA_TEST_CLASS(tst_Link)
#include "link.moc"
