#include <QtTest>

#include "support/testrunner.h"

#include "shm/shmoptions.h"
#include "sim/simoptions.h"

// Command lines of both tools: what they set, and the clear message for
// each kind of mistake (the programs turn those into exit status 2).
class tst_ToolOptions : public QObject
{
    Q_OBJECT

private:
    // The fields a row looks at, in a form that compares and prints well.
    static QStringList simFields(const SimOptions &o)
    {
        return {QStringLiteral("address=") + o.address.toString(),
                QStringLiteral("port=%1").arg(o.port),
                QStringLiteral("scenario=") + o.scenario,
                QStringLiteral("csv=") + o.csvPath,
                QStringLiteral("steady=%1,%2,%3,%4,%5,%6")
                    .arg(o.steady.n).arg(o.steady.ns).arg(o.steady.k)
                    .arg(o.steady.chamber).arg(o.steady.smoke).arg(o.steady.energy),
                QStringLiteral("tau=%1").arg(o.tauMs),
                QStringLiteral("period=%1").arg(o.periodMs),
                QStringLiteral("delay=%1").arg(o.calibrationDelayMs),
                QStringLiteral("split=%1").arg(o.splitBytes),
                QStringLiteral("garbage=%1").arg(o.garbage),
                QStringLiteral("drop=%1").arg(o.dropAfter),
                QStringLiteral("silent=%1").arg(o.silent),
                QStringLiteral("noaccept=%1").arg(o.noAccept),
                QStringLiteral("quiet=%1").arg(o.quiet)};
    }

    static QStringList shmFields(const ShmArguments &a)
    {
        static const char *const names[] = {"send", "read", "log"};
        return {QStringLiteral("command=") + QLatin1String(names[a.command]),
                QStringLiteral("bytes=") + QString::fromLatin1(a.bytes.toHex().toUpper()),
                QStringLiteral("timeout=%1").arg(a.timeoutMs),
                QStringLiteral("rate=%1").arg(a.rateHz),
                QStringLiteral("count=%1").arg(a.count),
                QStringLiteral("csv=") + a.csvPath};
    }

    static QStringList withProgram(const QStringList &arguments)
    {
        return QStringList{QStringLiteral("tool")} + arguments;
    }

private slots:
    // opacimeter-sim
    void simAccepted_data();
    void simAccepted();
    void simRejected_data();
    void simRejected();
    void simHelp();

    // opacimeter-shm
    void shmAccepted_data();
    void shmAccepted();
    void shmRejected_data();
    void shmRejected();
    void shmHelp();
};

void tst_ToolOptions::simAccepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");  // fields that must be among simFields()

    QTest::newRow("defaults") << QStringList{}
        << QStringList{"address=127.0.0.1", "port=8899", "scenario=steady",
                       "steady=1234,100,300,25,30,2048", "tau=455", "period=8000",
                       "delay=2000", "split=0", "garbage=0", "drop=0", "silent=0",
                       "noaccept=0", "quiet=0"};
    QTest::newRow("address and port") << QStringList{"--listen", "::1", "--port=0"}
                                      << QStringList{"address=::1", "port=0"};
    QTest::newRow("steady values, negative and edge")
        << QStringList{"--n", "-10", "--ns=99.99", "--k", "0.5", "--chamber", "255",
                       "--smoke", "0", "--energy", "-32768"}
        << QStringList{"steady=-1000,9999,50,255,0,-32768"};
    QTest::newRow("step with tau and period")
        << QStringList{"--scenario", "step-down", "--tau", "1", "--period", "200"}
        << QStringList{"scenario=step-down", "tau=1", "period=200"};
    QTest::newRow("smoke period") << QStringList{"--scenario", "smoke", "--period", "2000"}
                                  << QStringList{"scenario=smoke", "period=2000"};
    QTest::newRow("file with path") << QStringList{"--scenario", "file", "rows.csv", "--quiet"}
                                    << QStringList{"scenario=file", "csv=rows.csv", "quiet=1"};
    QTest::newRow("file, name given with =") << QStringList{"--scenario=file", "rows.csv"}
                                             << QStringList{"scenario=file", "csv=rows.csv"};
    QTest::newRow("faults")
        << QStringList{"--split", "1", "--garbage", "--drop-after", "3", "--silent",
                       "--calibration-delay", "0"}
        << QStringList{"split=1", "garbage=1", "drop=3", "silent=1", "delay=0"};
    QTest::newRow("no-accept alone") << QStringList{"--no-accept"} << QStringList{"noaccept=1"};
    QTest::newRow("last value wins") << QStringList{"--port", "1", "--port", "2"}
                                     << QStringList{"port=2"};
}

void tst_ToolOptions::simAccepted()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    const SimArguments parsed = parseSimArguments(withProgram(arguments));
    QVERIFY2(parsed.status == SimArguments::Run, qPrintable(parsed.message));
    const QStringList fields = simFields(parsed.options);
    for (const QString &field : expected)
        QVERIFY2(fields.contains(field), qPrintable(field + QStringLiteral(" not in ")
                                                    + fields.join(QLatin1Char(' '))));
}

void tst_ToolOptions::simRejected_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"--colour"} << "unknown option '--colour'";
    QTest::newRow("positional") << QStringList{"smoke"} << "unexpected argument 'smoke'";
    QTest::newRow("single dash") << QStringList{"-port", "1"} << "unexpected argument '-port'";
    QTest::newRow("missing value") << QStringList{"--port"} << "--port needs a value";
    QTest::newRow("port too big") << QStringList{"--port", "65536"}
                                  << "--port: expected a port number from 0 to 65535, got '65536'";
    QTest::newRow("port not a number") << QStringList{"--port", "88a"} << "--port: expected";
    QTest::newRow("bad address") << QStringList{"--listen", "localhost"}
                                 << "--listen: expected an IPv4 or IPv6 address";
    QTest::newRow("unknown scenario") << QStringList{"--scenario", "puff"}
                                      << "--scenario: expected one of steady, smoke, step-up, step-down, file";
    QTest::newRow("file without path") << QStringList{"--scenario", "file"}
                                       << "--scenario file needs the path of a CSV file";
    QTest::newRow("file, option instead of path") << QStringList{"--scenario", "file", "--quiet"}
                                                  << "--scenario file needs the path";
    QTest::newRow("three decimals") << QStringList{"--n", "1.234"}
                                    << "--n: expected a number from -327.68 to 327.67";
    QTest::newRow("N out of range") << QStringList{"--ns", "327.68"} << "--ns: expected";
    QTest::newRow("chamber 256") << QStringList{"--chamber", "256"}
                                 << "--chamber: expected whole degrees from 0 to 255";
    QTest::newRow("negative smoke") << QStringList{"--smoke", "-1"} << "--smoke: expected";
    QTest::newRow("energy over 16 bits") << QStringList{"--energy", "32768"} << "--energy: expected";
    QTest::newRow("steady value for smoke") << QStringList{"--scenario", "smoke", "--k", "1"}
                                            << "--k sets a value of the steady scenario, not of 'smoke'";
    QTest::newRow("tau for steady") << QStringList{"--tau", "100"}
                                    << "--tau applies to the step-up and step-down scenarios only";
    QTest::newRow("tau zero") << QStringList{"--scenario", "step-up", "--tau", "0"} << "--tau: expected";
    QTest::newRow("period for steady") << QStringList{"--period", "1000"} << "--period applies to";
    QTest::newRow("smoke period too short") << QStringList{"--scenario", "smoke", "--period", "1999"}
                                            << "--period: a smoke cycle needs at least 2000 ms";
    QTest::newRow("split zero") << QStringList{"--split", "0"} << "--split: expected";
    QTest::newRow("drop-after zero") << QStringList{"--drop-after", "0"} << "--drop-after: expected";
    QTest::newRow("negative delay") << QStringList{"--calibration-delay", "-1"}
                                    << "--calibration-delay: expected";
    QTest::newRow("flag with value") << QStringList{"--garbage=yes"} << "--garbage takes no value";
    QTest::newRow("no-accept with silent") << QStringList{"--no-accept", "--silent"}
                                           << "--silent has no effect with --no-accept";
    QTest::newRow("no-accept with split") << QStringList{"--split", "2", "--no-accept"}
                                          << "--split has no effect with --no-accept";
}

void tst_ToolOptions::simRejected()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const SimArguments parsed = parseSimArguments(withProgram(arguments));
    QCOMPARE(parsed.status, SimArguments::Error);
    QVERIFY2(parsed.message.startsWith(message), qPrintable(parsed.message));
}

void tst_ToolOptions::simHelp()
{
    QCOMPARE(parseSimArguments(withProgram({"--port", "1", "--help"})).status, SimArguments::Help);
    for (const char *option : {"--scenario", "--split", "--garbage", "--drop-after", "--silent",
                               "--no-accept", "--calibration-delay", "--tau"})
        QVERIFY2(simUsage().contains(QLatin1String(option)), option);
}

void tst_ToolOptions::shmAccepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("send") << QStringList{"send", "213300AC"}
                          << QStringList{"command=send", "bytes=213300AC", "timeout=3000"};
    QTest::newRow("send, lower case, spaced, split over arguments")
        << QStringList{"send", "21 4a", "01", "a2f2", "--timeout", "500"}
        << QStringList{"bytes=214A01A2F2", "timeout=500"};
    QTest::newRow("read") << QStringList{"read"} << QStringList{"command=read"};
    QTest::newRow("log defaults") << QStringList{"log"}
                                  << QStringList{"command=log", "rate=10", "count=0", "csv="};
    QTest::newRow("log with everything")
        << QStringList{"log", "--rate", "2.5", "--count=7", "--csv", "out.csv"}
        << QStringList{"rate=2.5", "count=7", "csv=out.csv"};
}

void tst_ToolOptions::shmAccepted()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    const ShmArguments parsed = parseShmArguments(withProgram(arguments));
    QVERIFY2(parsed.status == ShmArguments::Run, qPrintable(parsed.message));
    const QStringList fields = shmFields(parsed);
    for (const QString &field : expected)
        QVERIFY2(fields.contains(field), qPrintable(field + QStringLiteral(" not in ")
                                                    + fields.join(QLatin1Char(' '))));
}

void tst_ToolOptions::shmRejected_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing") << QStringList{} << "missing command";
    QTest::newRow("unknown command") << QStringList{"write"} << "unknown command 'write'";
    QTest::newRow("send without bytes") << QStringList{"send"} << "send: no command bytes given";
    QTest::newRow("send, not hex") << QStringList{"send", "21330G"} << "send: '21330G' is not hexadecimal";
    QTest::newRow("send, odd digits") << QStringList{"send", "213"} << "send: '213' has an odd number";
    QTest::newRow("send, the clear marker") << QStringList{"send", "00"}
                                            << "send: 00 reads the same as the clear marker";
    QTest::newRow("send, zero timeout") << QStringList{"send", "213300AC", "--timeout", "0"}
                                        << "send: --timeout: expected milliseconds";
    QTest::newRow("send, log option") << QStringList{"send", "213300AC", "--rate", "1"}
                                      << "send: unknown option '--rate'";
    QTest::newRow("read, extra argument") << QStringList{"read", "now"}
                                          << "read: unexpected argument 'now'";
    QTest::newRow("log, rate zero") << QStringList{"log", "--rate", "0"} << "log: --rate: expected";
    QTest::newRow("log, rate too high") << QStringList{"log", "--rate", "101"} << "log: --rate: expected";
    QTest::newRow("log, rate not a number") << QStringList{"log", "--rate", "fast"}
                                            << "log: --rate: expected";
    QTest::newRow("log, count zero") << QStringList{"log", "--count", "0"} << "log: --count: expected";
    QTest::newRow("log, missing value") << QStringList{"log", "--csv"} << "log: --csv needs a value";
    QTest::newRow("log, empty file name") << QStringList{"log", "--csv="} << "log: --csv needs a file name";
}

void tst_ToolOptions::shmRejected()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const ShmArguments parsed = parseShmArguments(withProgram(arguments));
    QCOMPARE(parsed.status, ShmArguments::Error);
    QVERIFY2(parsed.message.startsWith(message), qPrintable(parsed.message));
}

void tst_ToolOptions::shmHelp()
{
    QCOMPARE(parseShmArguments(withProgram({"--help"})).status, ShmArguments::Help);
    QCOMPARE(parseShmArguments(withProgram({"log", "--help"})).status, ShmArguments::Help);
    for (const char *text : {"VRKT_516_Shared_cmd", "VRKT_516_Shared_data", "--timeout", "--rate",
                             "--count", "--csv"})
        QVERIFY2(shmUsage().contains(QLatin1String(text)), text);
}

OPA_TEST_CLASS(tst_ToolOptions)
#include "tooloptions.moc"
