#include <QtTest>

#include "support/testrunner.h"

#include <csignal>

#include "support/testsupport.h"

// The program as a process, asked to end by the signals a session's end, a
// service stop or Ctrl+C send: it closes as its window does and exits 0,
// where the default action would kill it with its records unkept.
class tst_Signals : public QObject
{
    Q_OBJECT

private slots:
    void closesInOrder_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void closesInOrder()
    {
        QFETCH(int, signal);
        testsupport::ScopedWorkDir dir;
        QSettings(QStringLiteral("set.ini"), QSettings::IniFormat).setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(OPA_HOST_PATH), QStringList());
        // The database made at start says the program is up.
        QVERIFY(QTest::qWaitFor([] { return QFile::exists("results/opacimeter.sqlite"); }, 20000));
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, qPrintable(QString::number(program.exitCode())));
    }
};

OPA_TEST_CLASS(tst_Signals)
#include "signals.moc"
