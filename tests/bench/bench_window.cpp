#include <QtTest>

#include <QSharedMemory>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// Figures for the main window's hot paths: building the window (start-up),
// decoding one measurement reply into the form, and one polling tick's
// shared-memory work. Printed, never asserted. Run inside a namespace of its
// own (unshare -n -i) so the segments and any discovery stay private.
class bench_Window : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void construct();
    void constructAndShow();
    void decodeMeasurement();
    void publishShortReply();
    void commandTickWithoutCompanion();
    void commandTickWithCompanion();

private:
    testsupport::ScopedWorkDir workDir;
};

void bench_Window::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QString(); });
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(msg));
    });
}

void bench_Window::construct()
{
    QBENCHMARK {
        mainwindow w;
    }
}

void bench_Window::constructAndShow()
{
    QBENCHMARK {
        mainwindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    }
}

void bench_Window::decodeMeasurement()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    const QByteArray low = testsupport::measurementReply(1234, 100, 300, 25, 30, 2048);
    const QByteArray high = testsupport::measurementReply(2345, 200, 400, 26, 31, 2049);
    int i = 0;
    QBENCHMARK {
        a.seraildata((++i & 1) ? low : high);
    }
}

void bench_Window::publishShortReply()
{
    mainwindow w;
    const QByteArray reply = QByteArray::fromHex("063800C2");
    QBENCHMARK {
        w.writemem(reply);
    }
}

void bench_Window::commandTickWithoutCompanion()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QBENCHMARK {
        a.loadmem();
    }
}

void bench_Window::commandTickWithCompanion()
{
    QSharedMemory companion(QStringLiteral("VRKT_516_Shared_cmd"));
    QVERIFY(companion.create(64) || companion.attach());
    mainwindow w;
    MainWindowTestAccess a(w);
    QBENCHMARK {
        a.loadmem();
    }
}

QTEST_MAIN(bench_Window)
#include "bench_window.moc"
