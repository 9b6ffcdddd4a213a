#include <QtTest>

#include <memory>

#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using discoverytest::loopback;

// Discovery as the window runs it after a show: the address stored in
// set.ini, else a sweep of 127.0.0.x (the window's own address being
// 127.0.0.7); and the notice when no server was found.
class tst_DiscoveryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }
    void connects_data();
    void connects();
    void closedMidSweep();
};

void tst_DiscoveryWindow::connects_data()
{
    QTest::addColumn<QString>("stored");   // none: no set.ini
    QTest::addColumn<int>("connections");  // the meter on 127.0.0.42 sees a sweep's probe, then the data connection
    QTest::newRow("stored address answers") << loopback(42) << 1;
    QTest::newRow("stored address refuses") << loopback(50) << 2;
    QTest::newRow("no set.ini") << QString() << 2;
    QTest::newRow("no meter") << QString() << 0;
}

void tst_DiscoveryWindow::connects()
{
    QFETCH(QString, stored);
    QFETCH(int, connections);
    testsupport::ScopedWorkDir dir;
    testsupport::MessageBoxCloser boxes;
    QSettings settings(QStringLiteral("set.ini"), QSettings::IniFormat);
    if (!stored.isEmpty())
        settings.setValue(QStringLiteral("Server/IP"), stored), settings.sync();
    testsupport::LoopbackServer meter;
    QVERIFY(!connections || meter.listen(loopback(42)));
    mainwindow w;
    MainWindowTestAccess a(w);
    a.setNoticeDelay(connections ? 600000 : 1000);
    w.show();
    if (!connections) {
        QVERIFY(QTest::qWaitFor([&] { return boxes.count() > 0; }, 20000));
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("通信失败，建议检查连线，重开此程序！"));
        QVERIFY(!a.serverConnected());
        return;
    }
    QVERIFY(QTest::qWaitFor([&] { return a.pollTimer()->isActive(); }, 20000));
    QCOMPARE(a.pollTimer()->interval(), 100);
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    QVERIFY(meter.waitForClients(connections));
    QVERIFY(!meter.server().waitForNewConnection(0));
    QCOMPARE(meter.clientCount(), connections);
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("Server/IP")).toString(), loopback(42));

    // Once connected, a show's notice stays away.
    a.setNoticeDelay(0);
    w.hide();
    w.show();
    QVERIFY(!QTest::qWaitFor([&] { return boxes.count() > 0; }, 500));
}

void tst_DiscoveryWindow::closedMidSweep()
{
    // Every probe waits its full time: the sweep would take about 13 s.
    testsupport::ScopedWorkDir dir;
    discoverytest::SilentHost everywhere;
    QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
    auto w = std::make_unique<mainwindow>();
    w->show();
    QVERIFY(QTest::qWaitFor([] { return QThreadPool::globalInstance()->activeThreadCount() > 0; }, 5000));
    w->close();
    w.reset();
    QVERIFY2(QThreadPool::globalInstance()->waitForDone(2000), "the sweep went on after the window closed");
}

OPA_TEST_CLASS(tst_DiscoveryWindow)
#include "discovery.moc"
