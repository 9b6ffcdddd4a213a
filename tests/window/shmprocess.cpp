#include <QtTest>

#include "support/testrunner.h"

#include <QProcess>
#include <QRegularExpression>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace {

// The companion in a process of its own (the shmpeer helper), asked one
// line at a time.
class Peer
{
public:
    Peer()
    {
        process.setProgram(QStringLiteral(SHMPEER_PATH));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
    }
    ~Peer()
    {
        if (process.state() == QProcess::Running) {
            process.closeWriteChannel();
            if (!process.waitForFinished(5000))
                process.kill();
        }
    }
    bool started() { return process.waitForStarted(5000); }

    QByteArray ask(const QByteArray &request)
    {
        process.write(request + '\n');
        if (!QTest::qWaitFor([this] { return process.canReadLine(); }, 5000))
            return "no answer";
        return process.readLine().trimmed();
    }

    bool quit()
    {
        return ask("quit") == "bye"
               && QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 5000)
               && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private:
    QProcess process;
};

} // namespace

// The exchange with the companion running as a separate process, which is
// how the segments are used in the field.
class tst_ShmProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void dataSegmentHeldByAnotherProcess();
    void commandsFromAnotherProcess();

private:
    testsupport::ScopedWorkDir workDir;
};

void tst_ShmProcess::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_ShmProcess::dataSegmentHeldByAnotherProcess()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    Peer peer;
    QVERIFY(peer.started());

    a.seraildata(QByteArray::fromHex("0633020000C5"));
    QCOMPARE(peer.ask("hold-data"), QByteArray("ok"));
    QCOMPARE(peer.ask("read-data"), QByteArray("000000060633020000C5"));

    // Written into the segment the companion keeps open.
    a.seraildata(QByteArray::fromHex("06"));
    QCOMPARE(peer.ask("read-data"), QByteArray("000000010633020000C5"));

    // Too big for it: dropped, the companion keeps the last record.
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^Unable to create memory segment\\. ")));
    a.seraildata(QByteArray::fromHex("0633050102030405AF"));
    QCOMPARE(peer.ask("read-data"), QByteArray("000000010633020000C5"));

    // A companion that ends lets go of the segment with it.
    QVERIFY(peer.quit());
    a.seraildata(QByteArray::fromHex("0633050102030405AF"));
    Peer reader;
    QVERIFY(reader.started());
    QCOMPARE(reader.ask("read-data"), QByteArray("000000090633050102030405AF"));
}

void tst_ShmProcess::commandsFromAnotherProcess()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    Peer peer;
    QVERIFY(peer.started());

    a.seraildata(QByteArray::fromHex("06330AD20464002C01191E000817"));
    QCOMPARE(peer.ask("place 32 00000004213300AC"), QByteArray("ok"));
    a.loadmem();
    QCOMPARE(peer.ask("read-data"), QByteArray("0000000E06330AD20464002C01191E000817"));
    QVERIFY(peer.ask("read-cmd").startsWith("0000000100"));
    QCOMPARE(sent.count(), 0);

    // With polling running, a command the companion places reaches the meter.
    a.pollTimer()->start(mainwindow::PollingIntervalMs);
    QCOMPARE(peer.ask("place 32 0000000421390000"), QByteArray("ok"));
    const QByteArray command = QByteArray::fromHex("21390000");
    QVERIFY(QTest::qWaitFor([&] {
        for (const auto &args : sent)
            if (args.at(0).toByteArray() == command)
                return true;
        return false;
    }, 5000));
    a.pollTimer()->stop();
    QVERIFY(peer.ask("read-cmd").startsWith("0000000100"));
    QVERIFY(peer.quit());
}

OPA_TEST_CLASS(tst_ShmProcess)
#include "shmprocess.moc"
