#include <QtTest>

#include <QSharedMemory>

#include "app/mainwindow.h"
#include "net/framecutter.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// Figures for the hot paths: the window's start-up, decoding one measurement
// reply into the form, one polling tick's shared-memory work, and cutting a
// received stream into frames. Printed, never asserted. Run inside a
// namespace of its own (unshare -n -i) so the segments and any discovery
// stay private.
class bench_Window : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SocketClient::overrideLocalAddress([] { return QString(); });
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
            if (type != QtDebugMsg)
                fprintf(stderr, "%s\n", qPrintable(msg));
        });
    }

    void startUp()
    {
        QBENCHMARK {
            mainwindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
        }
    }

    void decodeMeasurement()
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

    void sharedMemoryTick_data()
    {
        QTest::addColumn<bool>("companion");
        QTest::newRow("no companion") << false;
        QTest::newRow("companion, no command") << true;
    }

    void sharedMemoryTick()
    {
        QFETCH(bool, companion);
        QSharedMemory cmd(QStringLiteral("VRKT_516_Shared_cmd"));
        QVERIFY(!companion || cmd.create(64) || cmd.attach());
        mainwindow w;
        MainWindowTestAccess a(w);
        QBENCHMARK {
            a.loadmem();
        }
    }

    void cutStream_data()
    {
        QTest::addColumn<int>("readSize");
        QTest::newRow("1 byte reads") << 1;
        QTest::newRow("14 byte reads") << 14;
        QTest::newRow("1460 byte reads") << 1460;
    }

    void cutStream()
    {
        QFETCH(int, readSize);
        QByteArray stream;
        for (int i = 0; i < 10000; ++i)
            stream += QByteArray::fromHex(i % 10 == 9 ? "063900C1" : "06330AD20464002C01191E000817");
        int frames = 0;
        QBENCHMARK {
            FrameCutter cutter;
            QByteArray frame;
            frames = 0;
            for (int at = 0; at < stream.size(); at += readSize) {
                cutter.append(QByteArray::fromRawData(stream.constData() + at, qMin(readSize, stream.size() - at)));
                while (cutter.next(&frame))
                    ++frames;
            }
        }
        QCOMPARE(frames, 10000);
    }

private:
    testsupport::ScopedWorkDir workDir;
};

QTEST_MAIN(bench_Window)
#include "bench_window.moc"
