#include <QtTest>

#include "support/testrunner.h"

#include <QProcess>
#include <QSettings>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The program against a simulated meter that puts a stray 0x06 before every
// 7th reply: no measurement reply may be lost, and a calibration-done reply
// behind a stray byte must still end the calibration.
class tst_StrayBytesEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void everyReplyArrives();
};

void tst_StrayBytesEndToEnd::everyReplyArrives()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
    testsupport::ScopedWorkDir dir;
    testsupport::MessageBoxCloser boxes;
    QProcess sim;
    QByteArray log;
    const auto sent = [&](const char *frame) { return (log += sim.readAll()).count(frame); };
    // On 127.0.0.1, the simulator's default address.
    sim.start(OPA_SIM_PATH, {"--port", "8899", "--stray", "7", "--calibration-delay", "100"});
    QVERIFY(QTest::qWaitFor([&] { return sent("listening on") > 0; }, 5000));
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat).setValue("Server/IP", "127.0.0.1");
    mainwindow w;
    int decoded = 0;
    connect(&w, &mainwindow::measurementReceived, [&] { ++decoded; });
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return sent("sent 06330A") >= 30; }, 20000));
    MainWindowTestAccess(w).pollTimer()->stop();
    // Every measurement reply the simulator sent was decoded, those behind a stray byte too.
    QVERIFY(QTest::qWaitFor([&] { return decoded == sent("sent 06330A"); }, 5000));

    // One poll at a time up to reply 7k - 2, so that the calibration-done reply is reply 7k.
    for (int n = sent("sent "); n % 7 != 5; n = sent("sent ")) {
        MainWindowTestAccess(w).autosend();
        QVERIFY(QTest::qWaitFor([&] { return sent("sent ") > n; }, 5000));
    }
    MainWindowTestAccess(w).ui().adjustButton->click();
    // The box closes before polling comes back.
    QVERIFY(QTest::qWaitFor([&] { return boxes.count() == 1; }, 15000));
    QVERIFY(MainWindowTestAccess(w).pollTimer()->isActive());
    QCOMPARE(boxes.seen().first().text, QStringLiteral("校准完成"));
    QCOMPARE(sent("sent 063900C1 (after stray bytes 06)"), 1);
    sim.close();
}

OPA_TEST_CLASS(tst_StrayBytesEndToEnd)
#include "straybytes.moc"
