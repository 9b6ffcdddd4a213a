#include <QtCharts/QChartView>

#include "app/trendpage.h"
#include "benchsupport.h"
#include "lane/lanesession.h"
#include "net/framecutter.h"
#include "net/serversweep.h"
#include "net/socketclient.h"
#include "support/testrunner.h"

using namespace bench;

namespace {

const int BurstCount = 20000;
// Two replies in turn, so that every value shown changes.
const QByteArray &replyAt(int i)
{
    static const QByteArray replies[] = {Reply, testsupport::measurementReply(2345, 3000, 83, 26, 31, 2049)};
    return replies[i & 1];
}

// The polled window answering with the two replies in turn, and once with a
// burst of 'BurstCount' of them in one write when asked.
struct BurstingWindow : PolledWindow
{
    int burst = 0, received = 0, reads = 0, burstReads = 0;

    BurstingWindow()
    {
        meter.reply = [this](const QByteArray &) {
            const QByteArray one = replyAt(meter.commands().size());
            if (!burst)
                return one;
            received = reads = 0;
            return one.repeated(std::exchange(burst, 0));
        };
    }
    // The read that brings the burst's last reply is counted only after the
    // client has handled it, hence the + 1.
    void countReads()
    {
        QObject::connect(a.session(), &LaneSession::readingTaken, &w,
                         [this] { burstReads = ++received == BurstCount ? reads + 1 : burstReads; });
        QObject::connect(w.findChild<SocketClient *>()->findChild<QTcpSocket *>(), &QTcpSocket::readyRead, &w, [this] { ++reads; });
    }
    bool absorbBurst()
    {
        burst = BurstCount;
        return QTest::qWaitFor([&] { return !burst && received >= BurstCount; }, 60000);
    }
};

// Per reply: the last minute kept for the curve, and a row recorded.
void printPerReply(LaneReading reading)
{
    TrendBuffer trend;
    const double trendOnly = microsPer(BurstCount, [&](int i) {
        reading.monotonicMs = i;
        reading.n = float(i % 100);
        trend.append(reading);
    });
    QTemporaryDir scratch;
    ReadingCsvWriter writer;
    QVERIFY(writer.start(scratch.filePath(QStringLiteral("bench.csv"))));
    const double row = microsPer(BurstCount, [&](int) { writer.record(reading); });
    writer.stop();
    std::printf("per reply: the last minute %.2f us, recorded row %.2f us\n", trendOnly, row);
}

// Per redraw: the whole buffer to the series, then the chart drawn; a
// minute at ten replies a second, then the full ring.
void printPerRedraw(LaneSession *session, TrendPage *page)
{
    auto *view = page->findChild<QtCharts::QChartView *>();
    for (int points : {600, TrendBuffer::Capacity}) {
        qint64 fake = qint64(points) * 1000000;  // far past every earlier point
        session->setClock([&] { return LaneStamp{fake, QDateTime()}; });
        for (int i = 0; i < points; ++i, fake += TrendBuffer::SpanMs / points)
            session->takeFrame(testsupport::measurementReply(qint16(i % 100 * 100), 0, qint16(i % 7 * 100), 25, 30, 2));
        std::printf("per redraw, %d points: %.2f ms\n", session->trend().size(), microsPer(50, [&](int) {
            page->refresh();
            view->viewport()->repaint();
        }) / 1000.0);
    }
    session->setClock({});
}

} // namespace

// The window's hot paths, and what the live curve and recording cost the
// polling.
class WindowBench : public Case
{
    Q_OBJECT

private slots:
    void hotPaths();
    void trend();
};

// Start-up, one polling tick's look at the command segment, cutting a
// received stream into frames by read size.
void WindowBench::hotPaths()
{
    ServerSweep::overrideLocalAddress([] { return QString(); });
    const double startUpUs = microsPer(10, [](int) { mainwindow w; w.show(); QVERIFY(QTest::qWaitForWindowExposed(&w)); });
    std::printf("start-up: %.1f ms\n", startUpUs / 1000);
    mainwindow w;
    MainWindowTestAccess a(w);
    QSharedMemory cmd(QStringLiteral("VRKT_516_Shared_cmd"));
    for (const char *companion : {"no companion", "companion, no command"}) {
        std::printf("shared-memory tick, %s: %.2f us\n", companion, microsPer(10000, [&](int) { a.loadmem(); }));
        QVERIFY(cmd.isAttached() || cmd.create(64) || cmd.attach());
    }
    QByteArray stream;
    for (int i = 0; i < 10000; ++i)
        stream += QByteArray::fromHex(i % 10 == 9 ? "063900C1" : "06330AD20464002C01191E000817");
    for (int readSize : {1, 14, 1460}) {
        std::printf("cutting 10,000 frames in %d-byte reads: %.2f ms\n", readSize, microsPer(10, [&](int) {
            FrameCutter cutter;
            QByteArray frame;
            for (int at = 0; at < stream.size(); at += readSize) {
                cutter.append(QByteArray::fromRawData(stream.constData() + at, qMin(readSize, stream.size() - at)));
                while (cutter.next(&frame))
                    continue;
            }
        }) / 1000);
    }
}

// Decoding a reply into the form; per reply, per redraw, the poll period,
// and the longest gap between polls while a burst of 20,000 replies is
// absorbed, first with the data page in front, then with the curve in view
// and recording.
void WindowBench::trend()
{
    BurstingWindow rig;
    QVERIFY(rig.show());
    MainWindowTestAccess &a = rig.a;
    std::printf("decoding a reply into the form: %.2f us\n", microsPer(BurstCount, [&](int i) { a.seraildata(replyAt(i)); }));
    auto *page = a.showPage<TrendPage>("trendTab");
    printPerReply(a.session()->lastReading());  // every value shown
    if (QTest::currentTestFailed())
        return;
    printPerRedraw(a.session(), page);

    // A burst read in pieces lets polls in between, so warm-up bursts first
    // grow the loopback receive window until one arrives in one read.
    rig.countReads();
    for (int warmUp = 0; warmUp < 5 && rig.burstReads != 1; ++warmUp)
        QVERIFY(rig.absorbBurst());
    for (bool inView : {false, true}) {
        a.ui().tabWidget->setCurrentIndex(inView ? 2 : 0);
        if (inView)
            page->toggleRecording();
        const QString how = inView ? "curve in view, recording" : "data page in front";
        rig.printPeriods(how);
        rig.periods.clear();
        QVERIFY(rig.absorbBurst());
        QTest::qWait(1000);
        printSpread(QStringLiteral("poll period around a 20,000-reply burst in %1 read(s), %2").arg(rig.burstReads).arg(how),
                    rig.periods);
    }
}

OPA_TEST_CLASS(WindowBench)
#include "bench.moc"
