#include <QtTest>

#include <QLineEdit>
#include <QPushButton>

#include "app/settingsdialog.h"
#include "meter/frames.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using discoverytest::loopback;

// The settings dialog in the window: Ctrl+, opens it, a refused value keeps
// it open and names the field, and a new server address and lane name reach
// set.ini, the address being connected to at once.
class tst_SettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        SocketClient::overrideLocalAddress({});
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    }
    void changeServerAndLane();
};

void tst_SettingsDialog::changeServerAndLane()
{
    testsupport::ScopedWorkDir work;
    // With nothing stored the window sweeps and takes the lowest server, the
    // old one; the sweep's find must not win set.ini back afterwards.
    testsupport::LoopbackServer oldMeter;
    testsupport::LoopbackServer newMeter;
    QVERIFY(oldMeter.listen(loopback(1)) && newMeter.listen(loopback(2)));
    mainwindow w;
    w.show();
    QVERIFY(oldMeter.waitForReceived(1, 15000));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));

    QTest::keyClick(&w, Qt::Key_Comma, Qt::ControlModifier);
    QPointer<SettingsDialog> dialog = w.findChild<SettingsDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    auto *address = dialog->findChild<QLineEdit *>("serverAddressEdit");
    auto *lane = dialog->findChild<QLineEdit *>("laneNameEdit");
    auto *ok = dialog->findChild<QPushButton *>("okButton");
    auto *message = dialog->findChild<QLabel *>("messageLabel");
    QVERIFY(address && lane && ok && message);
    QCOMPARE(address->text(), loopback(1));

    address->setText("127.0.0.256");
    lane->setText(" 3号线 ");
    ok->click();
    QVERIFY(dialog->isVisible());
    QVERIFY2(message->text().contains("仪表服务器地址"), qPrintable(message->text()));
    QCOMPARE(address->property("refused").toBool(), true);
    QCOMPARE(QSettings("./set.ini", QSettings::IniFormat).value("Station/Lane").toString(), QString());

    address->setText(loopback(2));
    ok->click();
    QVERIFY(QTest::qWaitFor([&] { return dialog.isNull(); }, 2000));
    QVERIFY(newMeter.waitForReceived(Frames::readMeasurement().size() * 3, 5000));
    QCOMPARE(MainWindowTestAccess(w).ui().label_link->text(), "已连接 " + loopback(2));
    QSettings file("./set.ini", QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QCOMPARE(file.value("Server/IP").toString(), loopback(2));
    QCOMPARE(file.value("Station/Lane").toString(), QStringLiteral("3号线"));
}

OPA_TEST_CLASS(tst_SettingsDialog)
#include "settingsdialog.moc"
