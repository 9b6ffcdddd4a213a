#include <QtTest>

#include "support/testrunner.h"

#include <QSharedMemory>
#include <QTimer>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "shm/shmrecord.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using testsupport::LoopbackServer;
using testsupport::MessageBoxCloser;

// The main window as a controller: its state after construction, the wiring
// of the polling tick, and the connection notice.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void initialState();
    void pollingTickSendsBeforeReadingCommands();

    // The connection notice.
    void noticeWhenNoServer();
    void noNoticeWhenConnected();
    void everyShowSchedulesNotice();
    void noticeDefaultDelay();

private:
    testsupport::ScopedWorkDir workDir;
};

void tst_MainWindow::initTestCase()
{
    // No sweep: the client finds no local address.
    SocketClient::overrideLocalAddress([] { return QString(); });
}

void tst_MainWindow::initialState()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QVERIFY(!a.serverConnected());
    QVERIFY(!a.factoryResetPending());
    QVERIFY(a.lastMeasurement().isNull());
    QCOMPARE(a.N(), 0.0f);
    QCOMPARE(a.Ns(), 0.0f);
    QCOMPARE(a.K(), 0.0f);
    QCOMPARE(a.Nmax(), 0.0f);
    QCOMPARE(a.Nsmax(), 0.0f);
    QCOMPARE(a.Kmax(), 0.0f);
    QCOMPARE(a.chamberTemp(), 0.0f);
    QCOMPARE(a.smokeTemp(), 0.0f);
    QCOMPARE(a.energy(), 0.0f);
    QVERIFY(!a.pollTimer()->isActive());
    QVERIFY(!a.responseTimer()->isActive());
    QCOMPARE(a.dataSegment()->key(), QStringLiteral("VRKT_516_Shared_data"));
    QCOMPARE(a.cmdSegment()->key(), QStringLiteral("VRKT_516_Shared_cmd"));
    QVERIFY(!a.dataSegment()->isAttached());
    QVERIFY(!a.cmdSegment()->isAttached());
    QCOMPARE(a.client()->parent(), &w);
    QCOMPARE(a.dataSegment()->parent(), &w);
    QCOMPARE(a.cmdSegment()->parent(), &w);
    // The window fades in from fully transparent.
    QVERIFY(w.windowOpacity() < 0.5);
    QVERIFY(QTest::qWaitFor([&] { return w.windowOpacity() == 1.0; }, 5000));
}

void tst_MainWindow::pollingTickSendsBeforeReadingCommands()
{
    // A companion's command sits in the command segment; one tick must poll
    // the meter first and forward the command second.
    const QByteArray command = QByteArray::fromHex("21AB0034");
    const QByteArray record = ShmRecord::encode(command);
    QSharedMemory companion(QStringLiteral("VRKT_516_Shared_cmd"));
    QVERIFY2(companion.create(64) || (companion.attach()), qPrintable(companion.errorString()));
    companion.lock();
    memset(companion.data(), 0, size_t(companion.size()));
    memcpy(companion.data(), record.constData(), size_t(record.size()));
    companion.unlock();

    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(QMetaObject::invokeMethod(a.pollTimer(), "timeout"));
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(0).at(0).toByteArray(), QByteArray::fromHex("213300AC"));
    QCOMPARE(sent.at(1).at(0).toByteArray(), command);
}

void tst_MainWindow::noticeWhenNoServer()
{
    MessageBoxCloser closer;
    mainwindow w;
    MainWindowTestAccess(w).setNoticeDelay(300);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return closer.count() == 1; }, 5000));
    QCOMPARE(closer.seen().at(0).title, QStringLiteral("提示"));
    QCOMPARE(closer.seen().at(0).text, QStringLiteral("通信失败，建议检查连线，重开此程序！"));
    // Once per show event: no second box follows.
    QVERIFY(!QTest::qWaitFor([&] { return closer.count() > 1; }, 1000));
}

void tst_MainWindow::noNoticeWhenConnected()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    {
        QSettings settings(QStringLiteral("./set.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    }
    MessageBoxCloser closer;
    mainwindow w;
    MainWindowTestAccess a(w);
    a.setNoticeDelay(1500);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return a.serverConnected(); }, 5000));
    QVERIFY(!QTest::qWaitFor([&] { return closer.count() > 0; }, 2500));
    QFile::remove(QStringLiteral("./set.ini"));
}

void tst_MainWindow::everyShowSchedulesNotice()
{
    // Hiding and showing again (as restoring a minimised window does) delivers
    // a new show event, and with it a new notice.
    MessageBoxCloser closer;
    mainwindow w;
    MainWindowTestAccess(w).setNoticeDelay(300);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return closer.count() == 1; }, 5000));
    w.hide();
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return closer.count() == 2; }, 5000));
    QVERIFY(!QTest::qWaitFor([&] { return closer.count() > 2; }, 1000));
}

void tst_MainWindow::noticeDefaultDelay()
{
    QCOMPARE(mainwindow::NoticeDelayMs, 20000);
    QCOMPARE(mainwindow::DiscoveryDelayMs, 100);
    // With the real delay nothing shows within the first seconds.
    MessageBoxCloser closer;
    mainwindow w;
    w.show();
    QVERIFY(!QTest::qWaitFor([&] { return closer.count() > 0; }, 1000));
}

OPA_TEST_CLASS(tst_MainWindow)
#include "mainwindow.moc"
