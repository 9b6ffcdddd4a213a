#include <QtTest>

#include "support/testrunner.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <memory>

#include "app/mainwindow.h"
#include "support/meterrig.h"
#include "meter/frames.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using meterrig::MeterStandIn;

// The response-time tab through a main window that polls a meter stand-in
// whose Ns reading the test script moves.
class tst_ResponseTimeWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void measuresRamp_data();
    void measuresRamp();
    void clearResults_data();
    void clearResults();

private:
    // "mm:ss:zzz" back to milliseconds, -1 when the text is not of that form.
    static qint64 shownMs(const QString &text);

    testsupport::ScopedWorkDir workDir;
    MeterStandIn *meter = nullptr;
    mainwindow *window = nullptr;
};

void tst_ResponseTimeWindow::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_ResponseTimeWindow::init()
{
    meter = new MeterStandIn;
    QVERIFY(meter->listen());
    window = new mainwindow;
    QVERIFY(meterrig::showConnected(*window, *meter));
}

void tst_ResponseTimeWindow::cleanup()
{
    delete window;
    window = nullptr;
    delete meter;
    meter = nullptr;
}

qint64 tst_ResponseTimeWindow::shownMs(const QString &text)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d\\d)$")).match(text);
    if (!m.hasMatch())
        return -1;
    return (m.captured(1).toInt() * 60 + m.captured(2).toInt()) * 1000 + m.captured(3).toInt();
}

void tst_ResponseTimeWindow::measuresRamp_data()
{
    QTest::addColumn<bool>("rise");
    QTest::newRow("rise") << true;
    QTest::newRow("fall") << false;
}

void tst_ResponseTimeWindow::measuresRamp()
{
    // Ns moves evenly between 0 and 100 % over 2 s, so it takes 1600 ms
    // from 10 to 90 % (or back); the window sees it once per poll.
    QFETCH(bool, rise);
    const qint64 rampMs = 2000;
    const qint64 trueMs = rampMs * 8 / 10;
    MainWindowTestAccess a(*window);
    QPushButton *button = rise ? a.ui().uptestButton : a.ui().downtestButton;
    QLabel *result = rise ? a.ui().label_uptime : a.ui().label_downtime;
    const QString caption = button->text();

    // Hold the reading at its starting end until the test is armed.
    const float from = rise ? 0 : 100;
    meter->reply = [from](const QByteArray &) { return meterrig::measurementReply(from); };
    QVERIFY(QTest::qWaitFor([&] { return a.Ns() == from; }, 5000));

    if (!rise) {
        QTest::ignoreMessage(QtDebugMsg, "start");
        QTest::ignoreMessage(QtDebugMsg, "finishi");
    }
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^\\d+$")));

    button->click();
    QCOMPARE(button->text(), QStringLiteral("正在测试"));
    QVERIFY(!a.ui().uptestButton->isEnabled());
    QVERIFY(!a.ui().downtestButton->isEnabled());
    QVERIFY(a.responseTimer()->isActive());
    QCOMPARE(a.responseTimer()->interval(), 10);

    auto ramp = std::make_shared<QElapsedTimer>();
    ramp->start();
    meter->reply = [ramp, rampMs, rise](const QByteArray &) {
        const float part = float(qMin(ramp->elapsed(), rampMs)) / rampMs;
        return meterrig::measurementReply(rise ? 100 * part : 100 * (1 - part));
    };

    QVERIFY(QTest::qWaitFor([&] { return rise ? !a.riseRunning() : !a.fallRunning(); }, 10000));
    const qint64 measured = shownMs(result->text());
    // Start and end are each seen up to one poll late; a few ticks of slack.
    const qint64 slackMs = mainwindow::PollingIntervalMs + 5 * ResponseTest::TimerIntervalMs;
    QVERIFY2(qAbs(measured - trueMs) <= slackMs, qPrintable(result->text()));

    QCOMPARE(button->text(), caption);
    QVERIFY(a.ui().uptestButton->isEnabled());
    QVERIFY(a.ui().downtestButton->isEnabled());
    QVERIFY(!a.responseTimer()->isActive());
}

void tst_ResponseTimeWindow::clearResults_data()
{
    QTest::addColumn<bool>("rise");
    QTest::addColumn<float>("ns");
    QTest::addColumn<bool>("timing");

    QTest::newRow("rise armed") << true << 5.0f << false;
    QTest::newRow("rise timing") << true << 50.0f << true;
    QTest::newRow("fall armed") << false << 95.0f << false;
    QTest::newRow("fall timing") << false << 60.0f << true;
}

void tst_ResponseTimeWindow::clearResults()
{
    QFETCH(bool, rise);
    QFETCH(float, ns);
    QFETCH(bool, timing);
    MainWindowTestAccess a(*window);
    meter->reply = [ns](const QByteArray &) { return meterrig::measurementReply(ns); };
    QVERIFY(QTest::qWaitFor([&] { return a.Ns() == ns; }, 5000));
    if (!rise && timing)
        QTest::ignoreMessage(QtDebugMsg, "start");

    (rise ? a.ui().uptestButton : a.ui().downtestButton)->click();
    QLabel *label = rise ? a.ui().label_uptime : a.ui().label_downtime;
    if (timing)
        QVERIFY(QTest::qWaitFor([&] { return shownMs(label->text()) > 0; }, 5000));

    a.ui().clearResButton->click();
    QVERIFY(!a.responseTimer()->isActive());
    QVERIFY(!a.riseRunning() && !a.riseTiming() && !a.fallRunning() && !a.fallTiming());
    QCOMPARE(a.ui().label_resNs->text(), QStringLiteral("0"));
    QCOMPARE(a.ui().label_uptime->text(), QStringLiteral("0"));
    QCOMPARE(a.ui().label_downtime->text(), QStringLiteral("0"));
    QCOMPARE(a.ui().uptestButton->text(), QStringLiteral("测量上升时间"));
    QCOMPARE(a.ui().downtestButton->text(), QStringLiteral("测量下降时间"));
    QVERIFY(a.ui().uptestButton->isEnabled());
    QVERIFY(a.ui().downtestButton->isEnabled());

    // The next reply shows Ns again; the aborted test shows nothing more.
    const QString reading = QString::number(double(ns));
    QVERIFY(QTest::qWaitFor([&] { return a.ui().label_resNs->text() == reading; }, 5000));
    QCOMPARE(label->text(), QStringLiteral("0"));
}

OPA_TEST_CLASS(tst_ResponseTimeWindow)
#include "responsetimewindow.moc"
