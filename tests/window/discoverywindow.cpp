#include <QtTest>

#include "support/testrunner.h"

#include <QFile>
#include <QSettings>

#include <memory>

#include "app/mainwindow.h"
#include "support/discoveryhelpers.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using discoverytest::LogCapture;
using discoverytest::SilentHost;
using discoverytest::loopback;
using testsupport::LoopbackServer;
using testsupport::MessageBoxCloser;
using testsupport::ScopedWorkDir;

// Discovery as the main window runs it after each show event: the stored
// address in "./set.ini", else the sweep, then the hand-over to polling.
// The window's own address is 127.0.0.7.
class tst_DiscoveryWindow : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        Fixture()
        {
            SocketClient::overrideLocalAddress([] { return loopback(7); });
            window = std::make_unique<mainwindow>();
            access = std::make_unique<MainWindowTestAccess>(*window);
            // The connection notice must not get in the way of slow cases.
            access->setNoticeDelay(10 * 60 * 1000);
            access->ui().adjustButton->setEnabled(false);
        }

        bool connected()
        {
            return QTest::qWaitFor([this] { return access->serverConnected(); }, 20000);
        }

        ScopedWorkDir dir;
        MessageBoxCloser boxes;
        std::unique_ptr<mainwindow> window;
        std::unique_ptr<MainWindowTestAccess> access;
    };

    static void writeSettings(const QByteArray &text)
    {
        QFile file(QStringLiteral("set.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    static QByteArray settingsFile()
    {
        QFile file(QStringLiteral("set.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString storedAddress()
    {
        return QSettings(QStringLiteral("set.ini"), QSettings::IniFormat)
            .value(QStringLiteral("Server/IP")).toString();
    }

    // The discovery lines of the log, in order.
    static QStringList discoveryLog()
    {
        QStringList result;
        for (const QString &line : LogCapture::lines())
            for (const char *head : {"_____", "start find...", "+++++localIP:", "----------"})
                if (line.startsWith(QLatin1String(head)))
                    result.append(line);
        return result;
    }

    void verifyPolling(Fixture &f)
    {
        QVERIFY(f.access->serverConnected());
        QVERIFY(f.access->ui().adjustButton->isEnabled());
        QVERIFY(f.access->pollTimer()->isActive());
        QCOMPARE(f.access->pollTimer()->interval(), 100);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The stored address.
    void storedAddressAccepts();
    void showAgainReconnects();
    void storedAddressFallsThrough_data();
    void storedAddressFallsThrough();
    void storedAddressAfterEarlierSweep();

    // The sweep.
    void noSettingsFile();
    void noLocalAddress();
    void destroyedDuringSweep();
};

void tst_DiscoveryWindow::initTestCase()
{
    LogCapture::install();
}

void tst_DiscoveryWindow::init()
{
    LogCapture::clear();
}

void tst_DiscoveryWindow::cleanup()
{
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    SocketClient::overrideLocalAddress({});
    SocketClient::overrideProbeWait(0);
}

void tst_DiscoveryWindow::storedAddressAccepts()
{
    Fixture f;
    // The comment would not survive a rewrite of the file.
    const QByteArray text = "; set by hand\n[Server]\nIP=127.0.0.42\n";
    writeSettings(text);
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));

    f.window->show();
    QVERIFY(f.connected());
    verifyPolling(f);
    QCOMPARE(discoveryLog(), QStringList{QStringLiteral("_____ \"127.0.0.42\"")});
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    // Only the data connection: no probe of a sweep.
    server.server().waitForNewConnection(0);
    QCOMPARE(server.clientCount(), 1);
    QCOMPARE(settingsFile(), text);
}

void tst_DiscoveryWindow::showAgainReconnects()
{
    Fixture f;
    writeSettings("[Server]\nIP=127.0.0.42\n");
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));
    f.window->show();
    QVERIFY(f.connected());
    QVERIFY(server.waitForClients(1));
    QPointer<QTcpSocket> first = server.lastClient();
    QSignalSpy dropped(first.data(), &QTcpSocket::disconnected);
    f.access->pollTimer()->stop();  // so that a restart shows

    f.window->hide();
    f.window->show();
    QVERIFY(server.waitForClients(2));
    QVERIFY(dropped.count() > 0 || dropped.wait(5000));
    QVERIFY(QTest::qWaitFor([&] { return f.access->pollTimer()->isActive(); }, 5000));
    verifyPolling(f);
    QCOMPARE(discoveryLog(), (QStringList{QStringLiteral("_____ \"127.0.0.42\""),
                                          QStringLiteral("_____ \"127.0.0.42\"")}));
}

void tst_DiscoveryWindow::storedAddressFallsThrough_data()
{
    QTest::addColumn<bool>("silent");  // else nothing listens there

    QTest::newRow("refuses") << false;
    QTest::newRow("never answers within 500 ms") << true;
}

void tst_DiscoveryWindow::storedAddressFallsThrough()
{
    QFETCH(bool, silent);

    Fixture f;
    writeSettings("[Server]\nIP=127.0.0.50\n");
    SilentHost stored;
    if (silent)
        QVERIFY(stored.open(loopback(50)));
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));

    f.window->show();
    QVERIFY(f.connected());
    verifyPolling(f);
    QCOMPARE(discoveryLog(), (QStringList{QStringLiteral("_____ \"127.0.0.50\""),
                                          QStringLiteral("start find..."),
                                          QStringLiteral("+++++localIP: \"127.0.0.7\""),
                                          QStringLiteral("---------- \"127.0.0.42\"")}));
    QCOMPARE(storedAddress(), loopback(42));
}

void tst_DiscoveryWindow::storedAddressAfterEarlierSweep()
{
    // The connected handler reports the client's server address, which only
    // a sweep fills: once a sweep of this run has found one, a later
    // connection to the stored address writes the sweep's address.
    Fixture f;
    LoopbackServer swept;
    QVERIFY(swept.listen(loopback(42)));
    f.window->show();
    QVERIFY(f.connected());
    QCOMPARE(storedAddress(), loopback(42));

    writeSettings("[Server]\nIP=127.0.0.50\n");
    LoopbackServer stored;
    QVERIFY(stored.listen(loopback(50)));
    f.window->hide();
    f.window->show();
    QVERIFY(stored.waitForClients(1));
    QVERIFY(QTest::qWaitFor([] { return storedAddress() == loopback(42); }, 5000));
    QCOMPARE(LogCapture::linesStartingWith(QStringLiteral("start find...")).size(), 1);
}

void tst_DiscoveryWindow::noSettingsFile()
{
    Fixture f;
    LoopbackServer server;
    QVERIFY(server.listen(loopback(42)));
    // The file is written only once the data connection is up, which is
    // after the sweep's announcement has been handled.
    bool fileAtAnnouncement = true;
    QObject::connect(f.access->client(), &SocketClient::beforeConnect, &server,
                     [&] { fileAtAnnouncement = QFile::exists(QStringLiteral("set.ini")); });

    f.window->show();
    QVERIFY(f.connected());
    verifyPolling(f);
    QCOMPARE(discoveryLog(), (QStringList{QStringLiteral("start find..."),
                                          QStringLiteral("+++++localIP: \"127.0.0.7\""),
                                          QStringLiteral("---------- \"127.0.0.42\"")}));
    QVERIFY(!fileAtAnnouncement);
    QCOMPARE(storedAddress(), loopback(42));
    const QByteArray text = settingsFile();
    QVERIFY2(text.contains("[Server]") && text.contains("IP=127.0.0.42"), text.constData());
    // The probe, then the data connection.
    QVERIFY(server.waitForClients(2));
}

void tst_DiscoveryWindow::noLocalAddress()
{
    Fixture f;
    SocketClient::overrideLocalAddress([] { return QString(); });
    f.window->show();
    QVERIFY(QTest::qWaitFor([] { return discoveryLog().size() == 2; }, 5000));
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    QCoreApplication::sendPostedEvents();

    QCOMPARE(discoveryLog(), (QStringList{QStringLiteral("start find..."),
                                          QStringLiteral("+++++localIP: \"\"")}));
    QVERIFY(!f.access->serverConnected());
    QVERIFY(!f.access->pollTimer()->isActive());
    QVERIFY(!QFile::exists(QStringLiteral("set.ini")));
}

void tst_DiscoveryWindow::destroyedDuringSweep()
{
    Fixture f;
    // Every probe waits its full time, stretched to 10 s: so would the sweep.
    SocketClient::overrideProbeWait(10000);
    SilentHost everywhere;
    QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
    f.window->show();
    QVERIFY(QTest::qWaitFor([] {
        return !LogCapture::linesStartingWith(QStringLiteral("+++++localIP:")).isEmpty();
    }, 5000));
    QVERIFY(QThreadPool::globalInstance()->activeThreadCount() > 0);

    f.window.reset();
    QVERIFY2(QThreadPool::globalInstance()->waitForDone(2000),
             "the sweep went on after the window was destroyed");
}

OPA_TEST_CLASS(tst_DiscoveryWindow)
#include "discoverywindow.moc"
