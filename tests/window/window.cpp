#include <QtTest>

#include <QtWidgets>

#include "app/settingsdialog.h"
#include "meter/frames.h"
#include "net/framecutter.h"
#include "simulator/ptyline.h"
#include "net/serversweep.h"
#include "support/discoveryhelpers.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using discoverytest::loopback;
using testsupport::measurementReply;

// The main window against stand-ins on loopback: what the meter sees of the
// calibration and the factory reset, what the form shows of each reply, the exchange with a companion
// in a second process (the shmpeer stand-in), and discovery as the window
// runs it after a show (its own address being 127.0.0.7) with the notice
// when it found no server, the API's start as the program makes it, and the
// settings dialog.
class tst_Window : public QObject
{
    Q_OBJECT

private slots:
    void init() { ServerSweep::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }

    // Each frame the window sends from the click up to its first poll after
    // the box, with the calibration button's caption at that moment: the
    // calibration, then the factory reset on the same window.
    void sequences()
    {
        const QList<QPair<QStringList, QString>> runs{
            {{"213800A7 正在校准", "213900A6 正在校准", "213300AC 校准"}, "提示 校准完成"},
            {{"214A01A2F2 校准", "213800A7 校准", "213900A6 校准", "213300AC 校准"}, "提示 恢复出厂完成"}};
        testsupport::LoopbackServer meter;
        mainwindow w;
        QVERIFY(meter.listen() && showConnected(w, meter));
        auto &ui = MainWindowTestAccess(w).ui();
        // The meter accepts a reset at once and reports a calibration done after its second step.
        meter.reply = [](const QByteArray &c) {
            return c == Frames::factoryReset() ? Frames::factoryResetAccepted()
                   : c == Frames::calibrateStep2() ? Frames::calibrationDone() : QByteArray();
        };
        QStringList log;
        QList<qint64> atMs;
        QObject context;
        connect(&w, &mainwindow::writecmd, &context, [&](const QByteArray &f) {
            log << QString::fromLatin1(f.toHex().toUpper()) + ' ' + ui.adjustButton->text()
                       + (QApplication::activeModalWidget() ? " with the box open" : "");
            atMs << QDateTime::currentMSecsSinceEpoch();
        });
        testsupport::MessageBoxCloser boxes;
        boxes.setClosing(false);  // the box must close by itself
        for (int run = 0; run < runs.size(); ++run) {
            const QStringList &sent = runs.at(run).first;
            // The calibration click returns only after its second step; the test waits outside it.
            int first = -1;
            QPushButton *button = run ? ui.refactButton : ui.adjustButton;
            QTimer::singleShot(0, &context, [&] { first = log.size(); button->click(); });
            QVERIFY(QTest::qWaitFor([&] { return first >= 0 && log.size() >= first + sent.size(); }, 15000));
            QCOMPARE(log.mid(first), sent);
            QCOMPARE(boxes.count(), run + 1);
            const auto &box = boxes.seen().at(run);
            QCOMPARE(box.title + ' ' + box.text, runs.at(run).second);
            QVERIFY2(box.closedAtMs - box.openedAtMs >= 1400 && box.closedAtMs - box.openedAtMs < 3000,
                     qPrintable(QString::number(box.closedAtMs - box.openedAtMs)));
            // The calibration's two steps lie about 3 s apart; the reset's pacing is
            // not looked at here.
            const qint64 stepsMs = atMs.at(first + 1) - atMs.at(first);
            QVERIFY2(run || (stepsMs >= 2900 && stepsMs < 4500), qPrintable(QString::number(stepsMs)));
        }
    }

    void display_data()
    {
        QTest::addColumn<QByteArrayList>("frames");  // an empty one is a click on the clear button
        QTest::addColumn<QString>("shown");          // N Nmax Ns Nsmax K Kmax chamber smoke energy
        const QByteArray r = measurementReply(1234, 100, 300, 25, 30, 2048);
        auto row = [](const char *name, const QByteArrayList &frames, const char *shown) {
            QTest::newRow(name) << frames << QString::fromLatin1(shown);
        };
        row("lower values keep the maxima", {r, measurementReply(1000, 50, 200, 20, 21, 7)}, "10|12.34|0.5|1|2|3|20|21|7");
        row("first values below zero are no maxima", {measurementReply(-1000, -5, 0, 0, 0, -1)}, "-10||-0.05||0||0|0|-1");
        row("energy 4097: the last good one", {r, measurementReply(1234, 100, 300, 26, 31, 4097)}, "12.34|12.34|1|1|3|3|26|31|2048");
        row("first energy above 4096 shows 0", {measurementReply(0, 0, 0, 20, 20, 5000)}, "0||0||0||20|20|0");
        row("cleared, then above 0 again", {r, {}, measurementReply(500, 0, 150, 25, 30, 2048)}, "5|5|0|0|1.5|1.5|25|30|2048");
    }

    void display()
    {
        QFETCH(QByteArrayList, frames); QFETCH(QString, shown);
        mainwindow w;
        MainWindowTestAccess a(w);
        auto &ui = a.ui();
        for (const QByteArray &f : frames)
            f.isEmpty() ? ui.clearButton->click() : a.seraildata(f);
        QStringList texts;
        for (QLabel *l : {ui.label_Nt, ui.label_Nmax, ui.label_Nst, ui.label_Nsmax, ui.label_Kt, ui.label_Kmax,
                          ui.label_airroomt, ui.label_smoket, ui.label_Ad})
            texts << l->text();
        QCOMPARE(texts.join('|'), shown);
    }

    void companion()
    {
        testsupport::LoopbackServer meter;
        mainwindow w;
        MainWindowTestAccess a(w);
        QProcess peer;
        peer.start(QStringLiteral(SHMPEER_PATH), QStringList());
        const auto ask = [&peer](const QByteArray &request) {
            peer.write(request + '\n');
            return QTest::qWaitFor([&] { return peer.canReadLine(); }, 5000) ? peer.readLine().trimmed() : "no answer";
        };

        // Asked with the poll command, the window publishes its last measurement
        // as received and sends nothing; the request is wiped.
        const QByteArray reply = measurementReply(1234, 100, -1, 25, 30, 5000);
        a.seraildata(reply);
        QCOMPARE(ask("place 00000004213300AC"), QByteArray("ok"));
        QSignalSpy sent(&w, &mainwindow::writecmd);
        a.loadmem();
        QCOMPARE(sent.count(), 0);
        QCOMPARE(ask("read-data"), "0000000E" + reply.toHex().toUpper());
        QVERIFY(ask("read-cmd").startsWith("0000000100"));

        // A short reply is published as it arrives, into the segment the
        // companion now holds; a measurement is not.
        a.seraildata(QByteArray::fromHex("063800C2"));
        a.seraildata(reply);
        QVERIFY(ask("read-data").startsWith("00000004063800C2"));

        // While polling, any other 4-byte command reaches the meter; others are only wiped.
        QVERIFY(meter.listen() && showConnected(w, meter));
        QCOMPARE(ask("place 00000005214A01A2F2"), QByteArray("ok"));
        QVERIFY(QTest::qWaitFor([&] { return ask("read-cmd").startsWith("0000000100"); }, 5000));
        QCOMPARE(ask("place 0000000421390000"), QByteArray("ok"));
        QVERIFY(QTest::qWaitFor([&] { return meter.commands().contains(QByteArray::fromHex("21390000")); }, 5000));
        QVERIFY(!meter.commands().contains(Frames::factoryReset()));
        peer.closeWriteChannel();
        QVERIFY(peer.waitForFinished(5000));
    }

    void discovery_data()
    {
        QTest::addColumn<int>("stored");       // host number; 0: none
        QTest::addColumn<int>("meter");        // the one meter's host; 0: none
        QTest::addColumn<QString>("link");
        QTest::newRow("stored address answers") << 42 << 42 << "已连接 127.0.0.42";
        QTest::newRow("none stored") << 0 << 42 << "已连接 127.0.0.42";
        // This lane's meter is off: the other is named, neither polled nor stored.
        QTest::newRow("another meter named") << 42 << 43 << "在 127.0.0.43 找到其他仪表；如需更换请在设置中确认";
        QTest::newRow("no meter") << 0 << 0 << "";
    }

    // The header and set.ini after a show's discovery; which host a sweep
    // probes and which it polls is tst_Reconnect::discovery's.
    void discovery()
    {
        QFETCH(int, stored); QFETCH(int, meter); QFETCH(QString, link);
        testsupport::ScopedWorkDir dir;
        testsupport::MessageBoxCloser boxes;
        QSettings(QStringLiteral("set.ini"), QSettings::IniFormat)
            .setValue(QStringLiteral("Server/IP"), stored ? loopback(stored) : QString());
        discoverytest::MeterHost host;
        QVERIFY(!meter || host.listen(loopback(meter)));
        mainwindow w;
        MainWindowTestAccess a(w);
        a.setNoticeDelay(meter ? 600000 : 1000);
        w.show();
        if (!meter) {
            QVERIFY(QTest::qWaitFor([&] { return boxes.count() > 0; }, 20000));
            QCOMPARE(boxes.seen().at(0).text, QStringLiteral("通信失败，建议检查连线，重开此程序！"));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(a.ui().label_link->text(), link, 20000);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        const bool polled = !stored || stored == meter;
        QVERIFY(polled ? host.waitForPolls(2) : host.polls() == 0);
        QCOMPARE(QSettings("set.ini", QSettings::IniFormat).value("Server/IP").toString(), loopback(stored ? stored : meter));
        if (!polled)
            return;

        // Once connected, a show's notice stays away: it comes due at once,
        // so it has had its turn (a box would have been closed by now) when
        // a zero timer started after the show fires.
        a.setNoticeDelay(0);
        w.hide();
        w.show();
        bool noticeDue = false;
        QTimer::singleShot(0, &w, [&] { noticeDue = true; });
        QVERIFY(QTest::qWaitFor([&] { return noticeDue; }));
        QCOMPARE(boxes.count(), 0);
    }

    void closedMidSweep()
    {
        // Every probe waits its full time: the sweep would take 10 s.
        testsupport::ScopedWorkDir dir;
        discoverytest::SilentHost everywhere;
        QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
        ServerSweep::overrideProbeWait(10000);
        std::unique_ptr<mainwindow> w(new mainwindow);
        w->show();
        QVERIFY(QTest::qWaitFor([] { return QThreadPool::globalInstance()->activeThreadCount() > 0; }, 5000));
        w.reset();
        const bool stopped = QThreadPool::globalInstance()->waitForDone(2000);
        ServerSweep::overrideProbeWait(0);
        QVERIFY2(stopped, "the sweep went on after the window closed");
    }

    // A taken API port costs the API only: the window runs on and says why in
    // the link label's tooltip.
    void apiPortTaken()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        QSettings ini(QStringLiteral("set.ini"), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Api/Listen"), QStringLiteral("127.0.0.1:%1").arg(holder.serverPort()));
        ini.sync();
        testsupport::LoopbackServer meter;
        mainwindow w;
        w.startApi();
        const QString tip = MainWindowTestAccess(w).ui().label_link->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("cannot listen on port %1").arg(holder.serverPort())), qPrintable(tip));
        QVERIFY(meter.listen() && showConnected(w, meter));
    }

    // The settings dialog (Ctrl+,) sets this lane's meter: two found and
    // none stored, the header asks the operator and the one clicked in the
    // dialog's list is taken; or the one found is polled and another address
    // typed, with the lane's name. Either is stored and connected to at once;
    // a sweep's find does not win set.ini back afterwards.
    void meterSetInTheDialog_data()
    {
        QTest::addColumn<bool>("picked");
        QTest::newRow("two found, one picked") << true;
        QTest::newRow("one found, another typed") << false;
    }
    void meterSetInTheDialog()
    {
        QFETCH(bool, picked);
        testsupport::ScopedWorkDir work;
        discoverytest::MeterHost first, second;
        QVERIFY(first.listen(loopback(1)) && (!picked || second.listen(loopback(2))));
        mainwindow w;
        MainWindowTestAccess a(w);
        a.setNoticeDelay(600000);
        w.show();
        if (picked)
            QTRY_COMPARE_WITH_TIMEOUT(a.ui().label_link->text(), QStringLiteral("找到 2 台仪表，请在设置中选择本工位的仪表"), 10000);
        else
            QVERIFY(first.waitForPolls(2, 15000) && second.listen(loopback(2)));
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_Comma, Qt::ControlModifier);
        QPointer<SettingsDialog> dialog = w.findChild<SettingsDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        if (picked) {
            auto *list = dialog->findChild<QListWidget *>("meterChoiceList");
            QVERIFY(list && list->isVisible() && list->count() == 2);
            QCOMPARE(list->item(1)->text(), loopback(2));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        } else {
            auto *address = dialog->findChild<QLineEdit *>("serverAddressEdit");
            QCOMPARE(address->text(), loopback(1));
            address->setText(loopback(2));
            dialog->findChild<QLineEdit *>("laneNameEdit")->setText(" 3号线 ");
            dialog->findChild<QPushButton *>("okButton")->click();
            QVERIFY(QTest::qWaitFor([&] { return dialog.isNull(); }, 2000));
        }
        QVERIFY(second.waitForPolls(3));
        QTRY_COMPARE(a.ui().label_link->text(), "已连接 " + loopback(2));
        QSettings file("./set.ini", QSettings::IniFormat);
        file.setIniCodec("UTF-8");
        QCOMPARE(file.value("Server/IP").toString() + ' ' + file.value("Station/Lane").toString(),
                 loopback(2) + (picked ? QStringLiteral(" ") : QStringLiteral(" 3号线")));
        QVERIFY(!picked || first.polls() == 0);
    }

    // 串口 chosen in the dialog applies at once: the network meter is left,
    // the port opened and named in the header; 网络 brings the server back.
    void switchToSerialAndBack()
    {
        testsupport::ScopedWorkDir work;
        discoverytest::MeterHost server;
        QVERIFY(server.listen(loopback(1)));
        QSettings("set.ini", QSettings::IniFormat).setValue("Server/IP", loopback(1));
        PtyLine line;
        QString error;
        const QString port = work.filePath("ttyMeter");
        QVERIFY2(line.open(port, &error), qPrintable(error));
        int serialPolls = 0;
        FrameCutter commands{Frames::HostStart, Frames::LongestData, FrameCutter::Checksum::Unchecked};
        connect(&line, &QIODevice::readyRead, &line, [&] {
            commands.append(line.readAll());
            for (QByteArray command; commands.next(&command); ++serialPolls)
                line.write(measurementReply(1234, 100, 300, 25, 30, 2048));
        });
        mainwindow w;
        w.show();
        QVERIFY(server.waitForPolls(2, 15000));
        QLabel *header = MainWindowTestAccess(w).ui().label_link;

        const auto chooseAndApply = [&](const char *radio) {
            w.findChild<QAction *>("settingsAction")->trigger();
            auto *dialog = w.findChild<SettingsDialog *>();
            dialog->findChild<QRadioButton *>(radio)->setChecked(true);
            dialog->findChild<QComboBox *>("serialPortCombo")->setEditText(port);
            dialog->findChild<QPushButton *>("okButton")->click();
        };
        chooseAndApply("serialLinkRadio");
        QTRY_COMPARE(header->text(), "已连接 " + port);
        QTRY_COMPARE(MainWindowTestAccess(w).ui().label_Nt->text(), QStringLiteral("12.34"));
        const int serverPolls = server.polls();
        QCOMPARE(QSettings("set.ini", QSettings::IniFormat).value("Meter/Link").toString(), QStringLiteral("serial"));
        const int polled = serialPolls;
        QTRY_VERIFY(serialPolls >= polled + 5);
        QCOMPARE(server.polls(), serverPolls);  // the server is left alone

        chooseAndApply("networkLinkRadio");
        QVERIFY(server.waitForPolls(serverPolls + 3));
        QTRY_COMPARE(header->text(), "已连接 " + loopback(1));
    }

private:
    testsupport::ScopedWorkDir workDir;
};

OPA_TEST_CLASS(tst_Window)
#include "window.moc"
