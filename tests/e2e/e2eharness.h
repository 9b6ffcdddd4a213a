#ifndef TESTS_E2E_E2EHARNESS_H
#define TESTS_E2E_E2EHARNESS_H

// The program, in the test, against opacimeter-sim as a process of its own;
// both live in the test's own network and IPC namespace. A test needs only
//
//   e2e::Session s;
//   QVERIFY(s.start({"--scenario", "steady", "--garbage"}));
//   QVERIFY(s.waitForCommand("213300AC", 10));

#include <QtTest>

#include <memory>

#include "net/serversweep.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace e2e {

// Runs one of our tools to its end while the test's event loop (and so the
// program's) keeps running; its exit code, or -1 when it did not end in time.
inline int runTool(const QString &path, const QStringList &args, QByteArray *output = nullptr, int timeoutMs = 15000)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(path, args);
    const bool ended = QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, timeoutMs);
    if (output)
        *output = tool.readAll();
    return ended && tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

class Session
{
public:
    // A sweep, should the program start one, stays on loopback.
    Session() { ServerSweep::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); }); }
    ~Session()
    {
        window.reset();
        sim.kill();
        sim.waitForFinished(3000);
        QThreadPool::globalInstance()->waitForDone(20000);
        ServerSweep::overrideLocalAddress({});
    }

    // Starts the simulator on 127.0.0.1 with 'args' and waits for its
    // "listening on" line, stores its address in ./set.ini and shows a window
    // that connects to it. Message boxes are closed at once unless the test
    // says otherwise (boxes.setClosing(false)).
    bool start(const QStringList &args)
    {
        if (!launch(args, "listening on"))
            return false;
        QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat).setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
        return showConnected();
    }
    // The simulator on a pseudo-terminal linked at 'port' in the working
    // folder, [Meter] Link=serial on it, and the window connected to it.
    bool startOnSerial(const QStringList &args, const QString &port)
    {
        if (!launch(QStringList{QStringLiteral("--serial"), port} + args, "serial line on"))
            return false;
        return testsupport::writeFile(QStringLiteral("set.ini"), ("[Meter]\nLink=serial\nPort=" + port + "\n").toUtf8()) && showConnected();
    }

    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    Ui::mainwindowClass &ui() { return access().ui(); }
    // Everything the simulator has printed so far.
    QByteArray log() { return output += sim.readAll(); }

    // The commands the simulator received, in order, as upper-case hex.
    QStringList commands()
    {
        QStringList found;
        for (auto at = QRegularExpression(QStringLiteral(" recv +(\\S+)")).globalMatch(QString::fromLatin1(log())); at.hasNext();)
            found << at.next().captured(1).toUpper();
        return found;
    }
    bool waitForCommand(const QString &hex, int times = 1)
    {
        return QTest::qWaitFor([&] { return commands().count(hex) >= times; }, 10000);
    }
    // When the simulator received 'hex' first, by its log's time stamp.
    QTime commandTime(const QString &hex)
    {
        const QByteArray all = log();
        const int end = all.indexOf(" recv " + hex.toLatin1());
        return end < 0 ? QTime() : QTime::fromString(QString::fromLatin1(all.mid(all.lastIndexOf('\n', end) + 1, 12)), "hh:mm:ss.zzz");
    }

    testsupport::ScopedWorkDir dir;
    testsupport::MessageBoxCloser boxes;
    QProcess sim;
    std::unique_ptr<mainwindow> window;

private:
    bool launch(const QStringList &args, const char *ready)
    {
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(OPA_SIM_PATH), args);
        return QTest::qWaitFor([&] { return log().contains(ready) || sim.state() == QProcess::NotRunning; }, 5000) && log().contains(ready);
    }
    bool showConnected()
    {
        window.reset(new mainwindow);
        window->show();
        return QTest::qWaitFor([&] { return access().serverConnected(); }, 5000);
    }

    QByteArray output;
};

} // namespace e2e

#endif
