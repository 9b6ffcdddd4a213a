#include <QtTest>

#include "support/testrunner.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/mainwindow.h"
#include "support/meterrig.h"
#include "meter/frames.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using meterrig::CommandLog;
using meterrig::MeterStandIn;
using testsupport::MessageBoxCloser;

// Calibration and factory reset through a main window connected to a meter
// stand-in: the command sequences and their timing, the buttons, polling
// and the self-closing completion box.
class tst_Calibration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Calibration.
    void calibration_data();
    void calibration();

    // Factory reset.
    void factoryReset();

    // Replies that come on their own.
    void unrequestedCalibrationDone();
    void otherRepliesIgnored_data();
    void otherRepliesIgnored();

private:
    // Has the meter report the calibration done, then checks the completion
    // box with 'text': it closes by itself after about 1500 ms, polling waits
    // for it and restarts at 100 ms.
    void completionBox(MessageBoxCloser &closer, int index, const QString &text);
    int polls() const { return meter->count(Frames::readMeasurement()); }

    testsupport::ScopedWorkDir workDir;
    MeterStandIn *meter = nullptr;
    CommandLog *log = nullptr;
    mainwindow *window = nullptr;
};

void tst_Calibration::initTestCase()
{
    // A sweep, should one start, stays on loopback.
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_Calibration::init()
{
    meter = new MeterStandIn;
    QVERIFY(meter->listen());
    log = new CommandLog;
    window = new mainwindow;
    log->watch(*window);
    QVERIFY(meterrig::showConnected(*window, *meter));
}

void tst_Calibration::cleanup()
{
    delete window;
    window = nullptr;
    delete log;
    log = nullptr;
    delete meter;
    meter = nullptr;
}

void tst_Calibration::completionBox(MessageBoxCloser &closer, int index, const QString &text)
{
    // The box runs its own event loop inside the reply handling, so whether
    // polling waits for it is looked at from a timer that runs in that loop.
    MainWindowTestAccess a(*window);
    bool sawBox = false;
    bool pollingWithBox = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, &probe, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox *>(w) && w->isVisible()) {
                sawBox = true;
                pollingWithBox = pollingWithBox || a.pollTimer()->isActive();
            }
        }
    });
    probe.start(5);

    meter->send(Frames::calibrationDone());
    QVERIFY(QTest::qWaitFor([&] { return closer.count() > index
                                         && closer.seen().at(index).closedAtMs >= 0; }, 10000));
    const MessageBoxCloser::Seen &box = closer.seen().at(index);
    QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(box.text, text);
    const qint64 shownMs = box.closedAtMs - box.openedAtMs;
    QVERIFY2(shownMs >= 1400 && shownMs < 3000, qPrintable(QString::number(shownMs)));
    QVERIFY(sawBox);
    QVERIFY(!pollingWithBox);

    QVERIFY(a.pollTimer()->isActive());
    QCOMPARE(a.pollTimer()->interval(), 100);
    const int before = polls();
    QVERIFY(QTest::qWaitFor([&] { return polls() > before; }, 5000));
}

void tst_Calibration::calibration_data()
{
    QTest::addColumn<bool>("polling");
    QTest::newRow("while polling") << true;
    QTest::newRow("polling stopped") << false;
}

void tst_Calibration::calibration()
{
    QFETCH(bool, polling);
    MainWindowTestAccess a(*window);
    QPushButton *adjust = a.ui().adjustButton;
    QPushButton *refact = a.ui().refactButton;
    if (!polling)
        a.pollTimer()->stop();

    // What the buttons looked like whenever a calibration command left, and
    // a second click tried in the middle of the sequence.
    struct Buttons {
        QString adjustText;
        bool adjustEnabled;
        bool refactEnabled;
    };
    QList<Buttons> during;
    QObject watcher;
    connect(window, &mainwindow::writecmd, &watcher, [&](QByteArray frame) {
        if (frame == Frames::calibrateStep1() || frame == Frames::calibrateStep2()) {
            during.append({adjust->text(), adjust->isEnabled(), refact->isEnabled()});
            adjust->click();
        }
    });

    const int first = log->all().size();
    const qint64 clickedAt = log->nowMs();
    adjust->click();

    QCOMPARE(adjust->text(), QStringLiteral("校准"));
    QVERIFY(adjust->isEnabled());
    QVERIFY(!a.pollTimer()->isActive());

    const int step1 = log->indexOf(Frames::calibrateStep1(), first);
    const int step2 = log->indexOf(Frames::calibrateStep2(), first);
    QVERIFY(step1 >= 0 && step2 > step1);
    QCOMPARE(log->count(Frames::calibrateStep1()), 1);
    QCOMPARE(log->count(Frames::calibrateStep2()), 1);
    const qint64 pause = log->all().at(step1).atMs - clickedAt;
    if (polling)
        QVERIFY2(pause >= 150 && pause < 1000, qPrintable(QString::number(pause)));
    else
        QVERIFY2(pause < 150, qPrintable(QString::number(pause)));
    const qint64 between = log->all().at(step2).atMs - log->all().at(step1).atMs;
    QVERIFY2(between >= 3000 && between < 4500, qPrintable(QString::number(between)));

    QCOMPARE(during.size(), 2);
    for (const Buttons &b : during) {
        QCOMPARE(b.adjustText, QStringLiteral("正在校准"));
        QVERIFY(!b.adjustEnabled);
        QVERIFY(b.refactEnabled);
    }

    // Both commands reach the meter, in order; no poll follows them.
    QVERIFY(meter->waitFor(Frames::calibrateStep2()));
    const QList<QByteArray> &got = meter->commands();
    QVERIFY(got.indexOf(Frames::calibrateStep1()) < got.indexOf(Frames::calibrateStep2()));
    QCOMPARE(got.last(), Frames::calibrateStep2());
    const int pollsBefore = polls();
    QVERIFY(!QTest::qWaitFor([&] { return polls() > pollsBefore; }, 500));

    MessageBoxCloser closer;
    closer.setClosing(false);
    completionBox(closer, 0, QStringLiteral("校准完成"));
    QCOMPARE(closer.count(), 1);
}

void tst_Calibration::factoryReset()
{
    MainWindowTestAccess a(*window);
    MessageBoxCloser closer;
    closer.setClosing(false);

    a.ui().refactButton->click();
    QVERIFY(!a.pollTimer()->isActive());
    QVERIFY(a.factoryResetPending());
    QCOMPARE(a.ui().adjustButton->text(), QStringLiteral("校准"));
    QVERIFY(a.ui().adjustButton->isEnabled());
    QVERIFY(meter->waitFor(Frames::factoryReset()));
    QCOMPARE(meter->commands().last(), Frames::factoryReset());

    // The meter accepts; the window calibrates on its own.
    QTest::ignoreMessage(QtDebugMsg, "恢复1");
    QTest::ignoreMessage(QtDebugMsg, "恢复2");
    const int first = log->all().size();
    meter->send(Frames::factoryResetAccepted());
    QVERIFY(meter->waitFor(Frames::calibrateStep2()));
    QCOMPARE(log->count(Frames::calibrateStep1()), 1);
    QCOMPARE(log->count(Frames::calibrateStep2()), 1);
    QCOMPARE(meter->count(Frames::calibrateStep1()), 1);
    QCOMPARE(meter->count(Frames::calibrateStep2()), 1);
    const int step1 = log->indexOf(Frames::calibrateStep1(), first);
    const int step2 = log->indexOf(Frames::calibrateStep2(), first);
    QVERIFY(step1 >= 0 && step2 > step1);
    const qint64 between = log->all().at(step2).atMs - log->all().at(step1).atMs;
    QVERIFY2(between >= 1000 && between < 2000, qPrintable(QString::number(between)));
    QVERIFY(!a.pollTimer()->isActive());

    completionBox(closer, 0, QStringLiteral("恢复出厂完成"));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!a.factoryResetPending());

    // The next calibration is a plain one again.
    a.ui().adjustButton->click();
    completionBox(closer, 1, QStringLiteral("校准完成"));
    QCOMPARE(closer.count(), 2);
}

void tst_Calibration::unrequestedCalibrationDone()
{
    // As after a command the companion process forwarded: nobody here asked.
    MainWindowTestAccess a(*window);
    a.pollTimer()->stop();
    MessageBoxCloser closer;
    closer.setClosing(false);
    completionBox(closer, 0, QStringLiteral("校准完成"));
}

void tst_Calibration::otherRepliesIgnored_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("done, other checksum") << meterrig::hex("063900C2");
    QTest::newRow("accepted, other checksum") << meterrig::hex("064A00B1");
    QTest::newRow("done, other code") << meterrig::hex("063800C2");
    QTest::newRow("done and one byte") << meterrig::hex("063900C100");
    QTest::newRow("accepted and one byte") << meterrig::hex("064A00B000");
    QTest::newRow("done and five bytes") << meterrig::hex("063900C10000000000");
    QTest::newRow("first half of done") << meterrig::hex("0639");
}

void tst_Calibration::otherRepliesIgnored()
{
    QFETCH(QByteArray, frame);
    MainWindowTestAccess a(*window);
    a.pollTimer()->stop();
    MessageBoxCloser closer;  // closes at once whatever might open
    const int sent = log->all().size();

    a.seraildata(frame);
    a.ui().refactButton->click();  // now a factory reset is pending
    const int afterReset = log->all().size();
    a.seraildata(frame);

    QCOMPARE(closer.count(), 0);
    QCOMPARE(afterReset, sent + 1);
    QCOMPARE(log->all().size(), afterReset);
    QVERIFY(!a.pollTimer()->isActive());
    QVERIFY(a.factoryResetPending());
}

OPA_TEST_CLASS(tst_Calibration)
#include "calibration.moc"
