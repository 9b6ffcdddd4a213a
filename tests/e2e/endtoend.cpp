#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <cmath>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using testsupport::MessageBoxCloser;
using testsupport::ScopedWorkDir;

namespace {

// One run of the meter simulator as a process of its own.
class Simulator
{
public:
    ~Simulator() { stop(); }

    bool start(const QStringList &args)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(OPA_SIM_PATH), args);
        if (!process.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([&] {
            collect();
            return output.contains("listening on") || process.state() == QProcess::NotRunning;
        }, 5000) && output.contains("listening on");
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }

    // Everything the simulator has printed so far.
    QByteArray log()
    {
        collect();
        return output;
    }

    // The commands it received, in order, as upper-case hex.
    QStringList commands()
    {
        QStringList found;
        for (const QByteArray &line : log().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            const int at = words.indexOf("recv");
            if (at >= 0 && at + 1 < words.size())
                found << QString::fromLatin1(words.at(at + 1)).toUpper();
        }
        return found;
    }

    bool waitForCommand(const QString &hex, int count = 1, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return commands().count(hex) >= count; }, timeoutMs);
    }

private:
    void collect() { output += process.readAll(); }

    QProcess process;
    QByteArray output;
};

// Runs the companion tool and returns its exit code and output.
int companion(const QStringList &args, QByteArray *output = nullptr)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(OPA_SHM_PATH), args);
    if (!tool.waitForStarted(5000))
        return -1;
    // The tool waits for the program, whose event loop must keep running.
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 15000)) {
        tool.kill();
        tool.waitForFinished(1000);
        return -2;
    }
    if (output)
        *output = tool.readAll();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -3;
}

void storeServer(const QString &ip)
{
    QSettings settings(QStringLiteral("./set.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Server/IP"), ip);
}

// "mm:ss:zzz" back to milliseconds.
int displayedMs(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return -1;
    return parts.at(0).toInt() * 60000 + parts.at(1).toInt() * 1000 + parts.at(2).toInt();
}

} // namespace

// The program against the simulated meter and the companion tool, all real
// processes but the program, which runs in the test so its form can be read.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private:
    struct Session {
        ScopedWorkDir dir;
        Simulator sim;
        MessageBoxCloser boxes{0};
        std::unique_ptr<mainwindow> window;
        MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
        QString text(QLabel *label) const { return label->text(); }
    };

    // Starts the simulator with 'args' on 127.0.0.1, names it in ./set.ini and
    // shows a window that connects to it.
    bool startSession(Session &s, const QStringList &args)
    {
        if (!s.sim.start(args))
            return false;
        storeServer(QStringLiteral("127.0.0.1"));
        s.window.reset(new mainwindow);
        s.access().setNoticeDelay(10 * 60 * 1000);
        s.window->show();
        return QTest::qWaitFor([&] { return s.access().serverConnected(); }, 5000);
    }

    static bool labelsShow(Session &s, const QString &n, const QString &ns, const QString &k,
                           const QString &chamber, const QString &smoke, const QString &energy)
    {
        auto &ui = s.access().ui();
        return QTest::qWaitFor([&] {
            return ui.label_Nt->text() == n && ui.label_Nst->text() == ns
                   && ui.label_Kt->text() == k && ui.label_airroomt->text() == chamber
                   && ui.label_smoket->text() == smoke && ui.label_Ad->text() == energy;
        }, 5000);
    }

private slots:
    void initTestCase();

    // Live values.
    void valuesFollowSimulator_data();
    void valuesFollowSimulator();
    void companionReadsAndForwards();
    void droppedConnectionKeepsLastValues();
    void unansweringStoredServerFallsThroughToSweep();

    // Procedures on the form.
    void calibration();
    void factoryReset();

    // Response times against a first-order step.
    void responseTime_data();
    void responseTime();
};

void tst_EndToEnd::initTestCase()
{
    // Any sweep stays on loopback.
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
}

void tst_EndToEnd::valuesFollowSimulator_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("clean") << QStringList();
    QTest::newRow("one byte at a time") << QStringList{QStringLiteral("--split"), QStringLiteral("1")};
    QTest::newRow("stray bytes") << QStringList{QStringLiteral("--garbage")};
}

void tst_EndToEnd::valuesFollowSimulator()
{
    QFETCH(QStringList, faults);
    Session s;
    QVERIFY(startSession(s, QStringList{"--scenario", "steady", "--n", "12.34", "--ns", "56.7",
                                        "--k", "1.5", "--chamber", "41", "--smoke", "88",
                                        "--energy", "3000"} + faults));
    QVERIFY(labelsShow(s, "12.34", "56.7", "1.5", "41", "88", "3000"));
    auto &ui = s.access().ui();
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("12.34"));
    QCOMPARE(ui.label_resNs->text(), QStringLiteral("56.7"));
    // Polling goes on at ten a second.
    const int before = s.sim.commands().count(QStringLiteral("213300AC"));
    QVERIFY(s.sim.waitForCommand(QStringLiteral("213300AC"), before + 10, 5000));
}

void tst_EndToEnd::companionReadsAndForwards()
{
    Session s;
    QVERIFY(startSession(s, {"--scenario", "steady"}));
    QVERIFY(labelsShow(s, "12.34", "1", "3", "25", "30", "2048"));

    // A publication request, then the companion reads what the program published.
    QByteArray out;
    QCOMPARE(companion({"send", "213300AC"}, &out), 0);
    QCOMPARE(companion({"read"}, &out), 0);
    QVERIFY2(out.toUpper().contains("06330AD20464002C01191E000817"), out.constData());

    // Any other 4-byte command is forwarded unchanged, wrong checksum and all.
    QCOMPARE(companion({"send", "21AB0000"}, &out), 0);
    QVERIFY(s.sim.waitForCommand(QStringLiteral("21AB0000")));
}

void tst_EndToEnd::droppedConnectionKeepsLastValues()
{
    Session s;
    QVERIFY(startSession(s, {"--scenario", "steady", "--n", "7.5", "--drop-after", "5"}));
    QVERIFY(labelsShow(s, "7.5", "1", "3", "25", "30", "2048"));
    QVERIFY(QTest::qWaitFor([&] { return s.sim.log().contains("closing"); }, 5000)
            || s.sim.commands().count(QStringLiteral("213300AC")) >= 5);
    // The program runs on with its last values and keeps polling into the void.
    QVERIFY(!QTest::qWaitFor([&] { return s.access().ui().label_Nt->text() != "7.5"; }, 1500));
    QVERIFY(s.access().pollTimer()->isActive());
    QVERIFY(s.window->isVisible());
}

void tst_EndToEnd::unansweringStoredServerFallsThroughToSweep()
{
    ScopedWorkDir dir;
    Simulator deaf, meter;
    QVERIFY(deaf.start({"--listen", "127.0.0.1", "--no-accept"}));
    QVERIFY(meter.start({"--listen", "127.0.0.9", "--scenario", "steady", "--n", "4.2"}));
    storeServer(QStringLiteral("127.0.0.1"));

    mainwindow w;
    MainWindowTestAccess a(w);
    a.setNoticeDelay(10 * 60 * 1000);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return a.serverConnected(); }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return a.ui().label_Nt->text() == "4.2"; }, 5000));
    QSettings settings(QStringLiteral("./set.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Server/IP")).toString(), QStringLiteral("127.0.0.9"));
}

void tst_EndToEnd::calibration()
{
    Session s;
    s.boxes.setClosing(false);  // the completion box must close by itself
    QVERIFY(startSession(s, {"--scenario", "steady", "--calibration-delay", "500"}));
    QVERIFY(labelsShow(s, "12.34", "1", "3", "25", "30", "2048"));

    QTimer::singleShot(0, s.access().ui().adjustButton, &QPushButton::click);
    QVERIFY(s.sim.waitForCommand(QStringLiteral("213900A6"), 1, 10000));
    QVERIFY(QTest::qWaitFor([&] { return s.boxes.count() == 1
                                         && s.boxes.seen().at(0).closedAtMs > 0; }, 10000));
    QCOMPARE(s.boxes.seen().at(0).title, QStringLiteral("提示"));
    QCOMPARE(s.boxes.seen().at(0).text, QStringLiteral("校准完成"));

    const QStringList sent = s.sim.commands();
    const int step1 = sent.indexOf(QStringLiteral("213800A7"));
    const int step2 = sent.indexOf(QStringLiteral("213900A6"));
    QVERIFY(step1 >= 0 && step2 > step1);
    // Polling stopped for the whole sequence and comes back after the box.
    for (int i = step1; i < step2; ++i)
        QCOMPARE(sent.at(i) == QStringLiteral("213300AC"), false);
    const int polls = sent.count(QStringLiteral("213300AC"));
    QVERIFY(s.sim.waitForCommand(QStringLiteral("213300AC"), polls + 5, 5000));
    QCOMPARE(s.access().pollTimer()->interval(), 100);
}

void tst_EndToEnd::factoryReset()
{
    Session s;
    s.boxes.setClosing(false);
    QVERIFY(startSession(s, {"--scenario", "steady", "--calibration-delay", "300"}));
    QVERIFY(labelsShow(s, "12.34", "1", "3", "25", "30", "2048"));

    QTimer::singleShot(0, s.access().ui().refactButton, &QPushButton::click);
    QVERIFY(QTest::qWaitFor([&] { return s.boxes.count() == 1
                                         && s.boxes.seen().at(0).closedAtMs > 0; }, 15000));
    QCOMPARE(s.boxes.seen().at(0).text, QStringLiteral("恢复出厂完成"));

    QStringList sequence = s.sim.commands();
    sequence.removeAll(QStringLiteral("213300AC"));
    QCOMPARE(sequence, (QStringList{"214A01A2F2", "213800A7", "213900A6"}));
    QVERIFY(!s.access().factoryResetPending());
    const int polls = s.sim.commands().count(QStringLiteral("213300AC"));
    QVERIFY(s.sim.waitForCommand(QStringLiteral("213300AC"), polls + 5, 5000));
}

void tst_EndToEnd::responseTime_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("rise");
    // A time constant whose curve stays out of the near-end bands inside the
    // 1001-1099 ms window, so the test runs to its real end condition.
    QTest::newRow("rise") << QStringLiteral("step-up") << true;
    QTest::newRow("fall") << QStringLiteral("step-down") << false;
}

void tst_EndToEnd::responseTime()
{
    QFETCH(QString, scenario);
    QFETCH(bool, rise);
    const int tauMs = 1200;
    const double trueMs = tauMs * std::log(9.0);

    Session s;
    // The step comes halfway through each 8-s cycle, counted from the simulator's start.
    QVERIFY(startSession(s, {"--scenario", scenario, "--tau", QString::number(tauMs),
                             "--period", "8000"}));
    auto &ui = s.access().ui();
    QPushButton *button = rise ? ui.uptestButton : ui.downtestButton;
    QLabel *result = rise ? ui.label_uptime : ui.label_downtime;
    QVERIFY(QTest::qWaitFor([&] { return !ui.label_resNs->text().isEmpty(); }, 5000));
    QCOMPARE(ui.label_resNs->text(), rise ? QStringLiteral("0") : QStringLiteral("100"));

    button->click();
    QVERIFY(!button->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return button->isEnabled(); }, 15000));
    const int measured = displayedMs(result->text());
    QVERIFY2(std::abs(measured - trueMs) <= 150,
             qPrintable(QStringLiteral("measured %1 ms, true %2 ms").arg(measured).arg(trueMs)));
}

OPA_TEST_CLASS(tst_EndToEnd)
#include "endtoend.moc"
