#include <QtTest>

#include "support/testrunner.h"

#include <QProcess>
#include <QSettings>

#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The simulator goes away and comes back; the program mends the link by
// itself and shows live values again.
class tst_Outage : public QObject
{
    Q_OBJECT

private slots:
    void valuesLiveAgainAfterOutage()
    {
        testsupport::ScopedWorkDir dir;
        QProcess sim;
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(OPA_SIM_PATH), {"--quiet", "--outage", "1500:2500"});
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
        QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
            .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
        SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });

        mainwindow w;
        MainWindowTestAccess a(w);
        a.setNoticeDelay(600000);
        w.show();
        QLabel *value = a.ui().label_Nt;
        QVERIFY(QTest::qWaitFor([&] { return value->text() == "12.34" && value->isEnabled(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !value->isEnabled(); }, 5000));
        QCOMPARE(a.ui().label_link->text(), QStringLiteral("连接中断，正在重连"));
        QVERIFY(QTest::qWaitFor([&] { return value->isEnabled(); }, 8000));
        QCOMPARE(a.ui().label_link->text(), QStringLiteral("已连接 127.0.0.1"));
        QVERIFY(sim.readAll().contains("outage over"));

        SocketClient::overrideLocalAddress({});
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
    }
};

OPA_TEST_CLASS(tst_Outage)
#include "outage.moc"
