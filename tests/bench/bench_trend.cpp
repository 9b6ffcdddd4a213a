#include <QtTest>

#include <QTabWidget>
#include <QtCharts/QChartView>

#include <algorithm>

#include "app/trendpage.h"
#include "meter/recorder.h"
#include "net/socketclient.h"
#include "support/meterrig.h"
#include "support/testsupport.h"

// What the trend page costs the polling: the chart's and the recorder's work
// per reply, the redraw per refresh, the poll period with the page in view
// and recording, and the longest gap between polls while a 20,000-reply
// burst is absorbed. Prints figures, asserts nothing. Runs on 127.0.0.1:8899
// and the fixed segment keys, so run it inside unshare -n -i.
class bench_Trend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void costs();

private:
    static double microsPer(int count, const std::function<void(int)> &work);
    static void printPeriods(const char *what, QVector<qint64> ticks);
    testsupport::ScopedWorkDir workDir;
};

void bench_Trend::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(msg));
    });
}

double bench_Trend::microsPer(int count, const std::function<void(int)> &work)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        work(i);
    return clock.nsecsElapsed() / 1000.0 / count;
}

void bench_Trend::printPeriods(const char *what, QVector<qint64> ticks)
{
    QVector<qint64> periods;
    for (int i = 1; i < ticks.size(); ++i)
        periods.append(ticks.at(i) - ticks.at(i - 1));
    if (periods.isEmpty())
        return;
    std::sort(periods.begin(), periods.end());
    const auto at = [&](double q) { return periods.at(int(q * (periods.size() - 1))); };
    printf("%s: %d periods, median %lld ms, p99 %lld ms, longest %lld ms\n", what,
           int(periods.size()), at(0.5), at(0.99), periods.last());
}

void bench_Trend::costs()
{
    const int seconds = qEnvironmentVariableIntValue("OPA_BENCH_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("OPA_BENCH_SECONDS") : 20;
    const QByteArray replies[] = {testsupport::measurementReply(1234, 2000, 52, 25, 30, 2048),
                                  testsupport::measurementReply(2345, 3000, 83, 26, 31, 2049)};
    meterrig::MeterStandIn meter;
    int burst = 0;  // replies to send in one write at the next poll
    meter.reply = [&](const QByteArray &) {
        const QByteArray one = replies[meter.commands.size() & 1];
        return burst ? one.repeated(std::exchange(burst, 0)) : one;
    };
    QVERIFY(meter.listen());
    mainwindow w;
    MainWindowTestAccess a(w);
    QVERIFY(meterrig::showConnected(w, meter));
    auto *page = w.findChild<TrendPage *>();
    a.ui().tabWidget->setCurrentWidget(page);
    QVERIFY(QTest::qWaitFor([&] { return page->isVisible(); }, 2000));

    // Per reply, the page in view, before and after recording starts.
    const int count = 20000;
    const double pageOnly = microsPer(count, [&](int i) {
        page->addReading({}, Measurement::Reading{float(i % 100)});
    });
    const double decodeWithPage = microsPer(count, [&](int i) { a.seraildata(replies[i & 1]); });
    page->toggleRecording();
    const double decodeRecording = microsPer(count, [&](int i) { a.seraildata(replies[i & 1]); });
    Recorder *recorder = page->recorder();
    Measurement::Reading r;
    Measurement::decode(replies[0], &r);
    const double rowOnly = microsPer(count, [&](int) { recorder->record(r); });
    page->toggleRecording();
    printf("per reply: page %.2f us, recorder row %.2f us; decode + form + page %.2f us, "
           "the same recording %.2f us\n", pageOnly, rowOnly, decodeWithPage, decodeRecording);

    // Per refresh: the whole buffer to the series, then the chart drawn; a
    // minute at ten replies a second, then the full ring.
    auto *view = page->findChild<QtCharts::QChartView *>();
    for (int points : {600, TrendBuffer::Capacity}) {
        qint64 fake = qint64(points) * 1000000;  // far past every earlier point
        page->setClock([&] { return fake; });
        for (int i = 0; i < points; ++i, fake += TrendBuffer::SpanMs / points)
            page->addReading({}, Measurement::Reading{float(i % 100), 0, true, float(i % 7)});
        const double refresh = microsPer(50, [&](int) {
            page->refresh();
            view->viewport()->repaint();
        });
        printf("per refresh, %d points: %.2f ms (every %d ms while in view)\n", page->buffer().size(),
               refresh / 1000.0, TrendPage::RefreshIntervalMs);
    }
    QElapsedTimer sincePageClock;
    sincePageClock.start();
    page->setClock([&] { return 100000 + sincePageClock.elapsed(); });

    // The poll period, then a burst of 20,000 replies in one write: first
    // with the data page in front, then with the trend page in view and
    // recording.
    QElapsedTimer clock;
    clock.start();
    QVector<qint64> ticks;
    connect(a.pollTimer(), &QTimer::timeout, this, [&] { ticks.append(clock.elapsed()); });
    int received = 0;
    connect(&w, &mainwindow::measurementReceived, this, [&] { ++received; });
    for (bool inView : {false, true}) {
        a.ui().tabWidget->setCurrentIndex(inView ? 2 : 0);
        if (inView)
            page->toggleRecording();
        const char *how = inView ? "trend page in view, recording" : "data page in front";
        ticks.clear();
        QTest::qWait(seconds * 1000);
        printPeriods(qPrintable(QStringLiteral("poll period, %1").arg(how)), ticks);
        ticks.clear();
        received = 0;
        burst = count;
        QVERIFY(QTest::qWaitFor([&] { return received >= count; }, 60000));
        QTest::qWait(1000);
        printPeriods(qPrintable(QStringLiteral("poll period around a 20,000-reply burst, %1").arg(how)),
                     ticks);
    }
    printf("rows recorded: %d\n", recorder->rowCount());
    page->toggleRecording();
}

QTEST_MAIN(bench_Trend)
#include "bench_trend.moc"
