#include <QtTest>

#include "support/testrunner.h"

#include "companion/shmoptions.h"
#include "simulator/simoptions.h"

// What the tools check on their command lines beyond QCommandLineParser:
// ranges, strict numbers, combinations, and the exit status 2 with one line.
// The rest of the tools is tested through the end-to-end tests.
class tst_ToolOptions : public QObject
{
    Q_OBJECT

private slots:
    void rejected_data()
    {
        QTest::addColumn<bool>("sim");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, bool sim, const QStringList &arguments,
                            const char *message) {
            QTest::newRow(name) << sim << arguments << QString::fromUtf8(message);
        };
        row("port 65536", true, {"--port", "65536"}, "--port: expected a port number from 0 to");
        row("steady value, smoke", true, {"--scenario", "smoke", "--k", "1"}, "--k sets a value");
        row("stray, no-accept", true, {"--no-accept", "--stray", "7"}, "--stray has no effect");
        row("serial and a listening address", true, {"--serial", "/tmp/ttyMeter", "--listen", "127.0.0.2"}, "--listen has no meaning on a serial line");
        row("serial and an outage", true, {"--serial", "/tmp/ttyMeter", "--outage", "10:10"}, "--outage has no meaning");
        row("file without path", true, {"--scenario", "file"}, "needs the path of one CSV file");
        row("filter at 100 %", true, {"--filter", "100"}, "--filter: expected a percentage above 0 and below 100");
        row("filter and a scenario", true, {"--filter", "50", "--scenario", "smoke"}, "--filter plays a scenario of its own");
        row("rate with a newline", false, {"log", "--rate", "1\n"}, "log: --rate: expected");
        row("another command's option", false, {"log", "--timeout", "5"}, "Unknown option 'timeout'");
        row("the clear marker", false, {"send", "00"}, "reads the same as the clear marker");
    }
    void rejected()
    {
        QFETCH(bool, sim); QFETCH(QStringList, arguments); QFETCH(QString, message);
        arguments.prepend(QStringLiteral("tool"));
        const QString error =
            sim ? parseSimArguments(arguments).message : parseShmArguments(arguments).message;
        QVERIFY2(error.contains(message) && !error.contains(QLatin1Char('\n')), qPrintable(error));
    }

    void acceptedAtTheEdges()
    {
        const SimArguments sim = parseSimArguments(
            {"sim", "--n=-327.68", "--chamber", "255", "--stray", "7", "--bad-checksum", "1", "--port", "0"});
        const SimArguments filter = parseSimArguments({"sim", "--filter", "99.99"});
        QVERIFY(sim.status == SimArguments::Run && filter.status == SimArguments::Run);
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6").arg(int(sim.options.steady.n)).arg(int(sim.options.steady.chamberC)).arg(sim.options.strayEvery)
                     .arg(sim.options.badChecksumEvery).arg(filter.options.scenario).arg(int(filter.options.checkN)),
                 QStringLiteral("-32768 255 7 1 filter 9999"));
        const ShmArguments shm =
            parseShmArguments({"shm", "send", "21", "39", "00a6", "--timeout", "1"});
        QCOMPARE(shm.status, ShmArguments::Run);
        QCOMPARE(shm.bytes, QByteArray::fromHex("213900A6"));
    }

    void badArgumentsExitWithStatusTwo_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("sim") << OPA_SIM_BINARY << QStringList{"--colour"};
        QTest::newRow("shm") << OPA_SHM_BINARY << QStringList{"log", "--count", "0"};
    }
    void badArgumentsExitWithStatusTwo()
    {
        QFETCH(QString, program); QFETCH(QStringList, arguments);
        QProcess tool;
        tool.start(program, arguments);
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 2);
        QCOMPARE(tool.readAllStandardError().count('\n'), 1);
        QVERIFY(tool.readAllStandardOutput().isEmpty());
    }
};

OPA_TEST_CLASS(tst_ToolOptions)
#include "tooloptions.moc"
