#include <QtTest>

#include "support/meterrig.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

// The exchange with a companion in a second process (the shmpeer stand-in)
// through the two shared-memory segments, as it runs in the field.
class tst_Companion : public QObject
{
    Q_OBJECT

private slots:
    void exchange();

private:
    QByteArray ask(const QByteArray &request)
    {
        peer.write(request + '\n');
        return QTest::qWaitFor([this] { return peer.canReadLine(); }, 5000) ? peer.readLine().trimmed()
                                                                             : "no answer";
    }

    testsupport::ScopedWorkDir workDir;
    QProcess peer;
};

void tst_Companion::exchange()
{
    meterrig::MeterStandIn meter;
    QVERIFY(meter.listen());
    mainwindow w;
    MainWindowTestAccess a(w);
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QStringLiteral(SHMPEER_PATH), QStringList());

    // A short reply is published as it arrives; a measurement is not.
    a.seraildata(QByteArray::fromHex("063800C2"));
    const QByteArray reply = testsupport::measurementReply(1234, 100, -1, 25, 30, 5000);
    a.seraildata(reply);
    QCOMPARE(ask("read-data"), QByteArray("00000004063800C2"));

    // Asked with the poll command, the window publishes its last measurement
    // as received and sends nothing; the request is wiped.
    QCOMPARE(ask("place 00000004213300AC"), QByteArray("ok"));
    QSignalSpy sent(&w, &mainwindow::writecmd);
    a.loadmem();
    QCOMPARE(sent.count(), 0);
    QCOMPARE(ask("read-data"), "0000000E" + reply.toHex().toUpper());
    QVERIFY(ask("read-cmd").startsWith("0000000100"));

    // While polling, any other 4-byte command reaches the meter; others are only wiped.
    QVERIFY(meterrig::showConnected(w, meter));
    QCOMPARE(ask("place 00000005214A01A2F2"), QByteArray("ok"));
    QVERIFY(QTest::qWaitFor([&] { return ask("read-cmd").startsWith("0000000100"); }, 5000));
    QCOMPARE(ask("place 0000000421390000"), QByteArray("ok"));
    QVERIFY(QTest::qWaitFor([&] { return meter.commands.contains(QByteArray::fromHex("21390000")); }, 5000));
    QVERIFY(!meter.commands.contains(Frames::factoryReset()));
    QVERIFY(ask("read-cmd").startsWith("0000000100"));
    peer.closeWriteChannel();
    QVERIFY(peer.waitForFinished(5000));
}

OPA_TEST_CLASS(tst_Companion)
#include "companion.moc"
