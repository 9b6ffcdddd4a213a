#include <QtTest>

#include "support/testrunner.h"

#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The link to the meter as the operator sees it, against the simulator.
class tst_Link : public QObject
{
    Q_OBJECT

    testsupport::ScopedWorkDir dir;
    QProcess sim;
    std::unique_ptr<mainwindow> w;

    bool start(const QStringList &simArgs)
    {
        sim.start(QStringLiteral(OPA_SIM_PATH), simArgs);
        QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
            .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
        w = std::make_unique<mainwindow>();
        MainWindowTestAccess a(*w);
        a.setNoticeDelay(600000);
        if (sim.waitForReadyRead(5000))  // listening
            w->show();
        return QTest::qWaitFor([&] { return a.serverConnected(); }, 5000);
    }

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); }); }
    void cleanup()
    {
        w.reset();
        sim.kill();
        sim.waitForFinished();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
    }

    // The server goes away and comes back: the values grey out, the header
    // says so, and live values return without a hand on the program.
    void valuesLiveAgainAfterOutage()
    {
        QVERIFY(start({"--quiet", "--outage", "1500:2500"}));
        MainWindowTestAccess a(*w);
        QLabel *value = a.ui().label_Nt;
        QVERIFY(QTest::qWaitFor([&] { return value->text() == "12.34" && value->isEnabled(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !value->isEnabled(); }, 5000));
        QCOMPARE(a.ui().label_link->text(), QStringLiteral("连接中断，正在重连"));
        QVERIFY(QTest::qWaitFor([&] { return value->isEnabled(); }, 8000));
        QCOMPARE(a.ui().label_link->text(), QStringLiteral("已连接 127.0.0.1"));
    }

    // The window blocks between the factory reset's two calibration commands;
    // the meter must still get them a second apart.
    void resetCommandsReachMeterApart()
    {
        QVERIFY(start({}));
        MainWindowTestAccess(*w).seraildata(QByteArray::fromHex("064A00B0"));
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] { log += sim.readAll(); return log.contains("213900A6"); }, 5000));
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
