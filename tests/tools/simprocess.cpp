#include <QtTest>

#include "support/testrunner.h"

#include <csignal>

#include "support/testsupport.h"

// opacimeter-sim as the separate process that scripts and the program's
// end-to-end tests start: its lines, its default address, its exit.
class tst_SimProcess : public QObject
{
    Q_OBJECT

private:
    static QString program() { return QStringLiteral(OPA_SIM_BINARY); }

    // Waits until the process has printed a line containing 'text'.
    static bool waitForLine(QProcess &process, QByteArray &seen, const QByteArray &text)
    {
        return QTest::qWaitFor([&] {
            seen += process.readAllStandardOutput();
            return seen.contains(text);
        }, 10000);
    }

private slots:
    void servesOnTheDefaultAddressAndStopsOnSignal_data();
    void servesOnTheDefaultAddressAndStopsOnSignal();
    void badArgumentsExitWithStatusTwo_data();
    void badArgumentsExitWithStatusTwo();
    void busyPortExitsWithStatusOne();
};

void tst_SimProcess::servesOnTheDefaultAddressAndStopsOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_SimProcess::servesOnTheDefaultAddressAndStopsOnSignal()
{
    QFETCH(int, signalNumber);
    QProcess sim;
    sim.start(program(), QStringList());
    QVERIFY(sim.waitForStarted());
    QByteArray out;
    QVERIFY2(waitForLine(sim, out, "listening on 127.0.0.1:8899\n"), out.constData());

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, testsupport::ServerPort);
    QVERIFY(socket.waitForConnected(5000));
    socket.write(QByteArray::fromHex("213300AC"));
    QVERIFY(QTest::qWaitFor([&] { return socket.bytesAvailable() >= 14; }, 5000));
    QCOMPARE(socket.readAll(), QByteArray::fromHex("06330AD20464002C01191E000817"));

    // One line per command and per reply, each with its time.
    QVERIFY2(waitForLine(sim, out, "sent 06330AD20464002C01191E000817\n"), out.constData());
    const QRegularExpression traffic(
        QStringLiteral("\\n\\d\\d:\\d\\d:\\d\\d\\.\\d{3} recv 213300AC\\n"
                       "\\d\\d:\\d\\d:\\d\\d\\.\\d{3} sent 06330AD20464002C01191E000817\\n"));
    QVERIFY2(traffic.match(QString::fromUtf8(out)).hasMatch(), out.constData());

    ::kill(pid_t(sim.processId()), signalNumber);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    out += sim.readAllStandardOutput();
    QVERIFY2(out.contains("stopping on signal"), out.constData());
    // The port is free again.
    QTcpServer again;
    QVERIFY(again.listen(QHostAddress::LocalHost, testsupport::ServerPort));
}

void tst_SimProcess::badArgumentsExitWithStatusTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("bad port") << QStringList{"--port", "eighty"}
                              << "opacimeter-sim: --port: expected a port number";
    QTest::newRow("unknown option") << QStringList{"--fast"} << "opacimeter-sim: unknown option '--fast'";
    QTest::newRow("missing CSV") << QStringList{"--scenario", "file", "/nonexistent/rows.csv"}
                                 << "opacimeter-sim: /nonexistent/rows.csv: ";
}

void tst_SimProcess::badArgumentsExitWithStatusTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess sim;
    sim.start(program(), arguments);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    const QString err = QString::fromUtf8(sim.readAllStandardError());
    QVERIFY2(err.startsWith(message), qPrintable(err));
    QVERIFY(sim.readAllStandardOutput().isEmpty());
}

void tst_SimProcess::busyPortExitsWithStatusOne()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, testsupport::ServerPort));
    QProcess sim;
    sim.start(program(), QStringList());
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 1);
    const QString err = QString::fromUtf8(sim.readAllStandardError());
    QVERIFY2(err.startsWith(QLatin1String("opacimeter-sim: cannot listen on 127.0.0.1:8899: ")),
             qPrintable(err));
}

OPA_TEST_CLASS(tst_SimProcess)
#include "simprocess.moc"
