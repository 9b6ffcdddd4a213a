#include <QtTest>

#include "support/testrunner.h"


#include "e2eharness.h"

#ifndef OPA_SOURCE_DIR
#error "OPA_SOURCE_DIR names the source folder"
#endif

// A lane system's view: the program with its API on, as set.ini turns it on,
// against the simulated engine, and the example client of docs/ run as the
// station would run it. The namespace is the test's own, so the API's fixed
// port is free. The series' events in detail are tst_ApiBridge's.
class tst_ApiEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void exampleClientStartsTest()
    {
        if (e2e::runTool(QStringLiteral("/usr/bin/python3"), {"-c", "import websockets"}) != 0)
            QSKIP("python3-websockets is not installed (scripts/install-deps.sh installs it)");

        e2e::Session s;
        QVERIFY(s.startSimulator({"--scenario", "free-accel", "--peaks", "1.50,1.30,1.22,1.20,1.25",
                                  "--period", "3500", "--quiet"}));
        QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat).setValue(QStringLiteral("Api/Listen"), QStringLiteral("127.0.0.1:8900"));
        s.showWindow();
        s.window->startApi();
        QVERIFY(QTest::qWaitFor([&] { return s.access().serverConnected(); }, 5000));

        QProcess client;
        client.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(OPA_SOURCE_DIR "/docs/api-client.py"), QStringLiteral("京a12345"),
                      QStringLiteral("--settings"), QDir::current().filePath(QStringLiteral("set.ini"))});
        // The client ends once it has the record of its test.
        QString out;
        QVERIFY2(QTest::qWaitFor([&] {
            out += QString::fromUtf8(client.readAllStandardOutput());
            return client.state() == QProcess::NotRunning;
        }, 60000), qPrintable(out));
        out += QString::fromUtf8(client.readAllStandardOutput());
        QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, qPrintable(out + client.readAllStandardError()));

        const QStringList lines = out.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("connected: program 1.0, link connected, series idle"));
        const QRegularExpression reading(QStringLiteral("^\\S+T\\S+  N +\\d+\\.\\d\\d %  K \\d\\.\\d\\d m-1$"));
        QVERIFY2(lines.filter(reading).size() >= 2, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("test started for 京a12345\n")) && lines.filter(QStringLiteral("series finished:")).size() == 1, qPrintable(out));
        const auto record = QRegularExpression(QStringLiteral("\nrecord ([0-9a-f-]{36}) \\(stored\\)\n")).match(out);
        QVERIFY2(record.hasMatch(), qPrintable(out));
        QByteArray shown;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_RECORDS_PATH), {"show", record.captured(1), "--json"}, &shown), 0);
        QCOMPARE(QJsonDocument::fromJson(shown).object().value(QStringLiteral("plate")).toString(), QStringLiteral("京A12345"));
    }
};

OPA_TEST_CLASS(tst_ApiEndToEnd)
#include "api.moc"
