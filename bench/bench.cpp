#include <QtTest>

#include <QLocalServer>
#include <QNetworkInterface>
#include <QSharedMemory>
#include <QSqlError>
#include <QWebSocket>
#include <QtCharts/QChartView>

#include <ctime>
#include <memory>

#include "api/apibridge.h"
#include "api/apiconvert.h"
#include "app/historypage.h"
#include "app/trendpage.h"
#include "lane/testarchive.h"
#include "records/recordkeeper.h"
#include "lane/lanesession.h"
#include "net/framecutter.h"
#include "net/socketclient.h"
#include "records/recordfixtures.h"
#include "records/recordstore.h"
#include "config/recordsettings.h"
#include "station/forwarder.h"
#include "station/stationlink.h"
#include "support/pgserver.h"
#include "support/discoveryhelpers.h"
#include "support/meterrig.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "tests/api/apirig.h"

namespace {

// Each of 'count' runs of 'work' on its own, in ms.
QVector<double> timedMs(int count, const std::function<void(int)> &work)
{
    QVector<double> ms;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        work(i);
        ms << clock.nsecsElapsed() / 1e6;
    }
    return ms;
}

// All 'count' runs of 'work' at once, in µs per run.
double microsPer(int count, const std::function<void(int)> &work)
{
    return timedMs(1, [&](int) { for (int i = 0; i < count; ++i) work(i); }).first() * 1000 / count;
}

void printSpread(const QString &what, QVector<double> ms, const char *unit = "ms")
{
    std::sort(ms.begin(), ms.end());
    if (!ms.isEmpty())
        std::printf("%s: %d samples, median %.1f %s, p99 %.1f, min %.1f, max %.1f\n", qPrintable(what), ms.size(),
                    ms.at(ms.size() / 2), unit, ms.at(int(0.99 * (ms.size() - 1))), ms.first(), ms.last());
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

const QByteArray Reply = testsupport::measurementReply(1234, 2000, 52, 25, 30, 2048);

// The window polling a meter stand-in on 127.0.0.1:8899 that answers each
// poll with 'Reply', its sweeps kept on loopback, and the gaps between its
// polls from the clock's start on.
struct PolledWindow
{
    meterrig::MeterStandIn meter;
    bool listening = meter.listen();
    mainwindow w;
    MainWindowTestAccess a{w};
    QElapsedTimer clock;
    QVector<double> periods;
    qint64 lastPoll = 0;

    PolledWindow()
    {
        SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
        meter.reply = [](const QByteArray &) { return Reply; };
        clock.start();
        QObject::connect(a.pollTimer(), &QTimer::timeout, &w,
                         [this] { periods << double(clock.elapsed() - std::exchange(lastPoll, clock.elapsed())); });
    }
    bool show() { return listening && meterrig::showConnected(w, meter); }
    // The poll periods of the next 'ms', and the share of a core the
    // program's main thread used meanwhile.
    double printPeriods(const QString &how, int ms = 20000)
    {
        periods.clear();
        const double cpu = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(ms);
        printSpread(QStringLiteral("poll period, %1").arg(how), periods);
        return 100.0 * (threadCpuMs() - cpu) / wall.elapsed();
    }
};

// WebSocket clients on a thread of their own, so that their cost does not
// count as the program's.
class ApiClients : public QObject
{
public:
    void open(int count, quint16 port)
    {
        for (int i = 0; i < count; ++i) {
            auto *ws = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            connect(ws, &QWebSocket::textMessageReceived, this, [this] { received.fetchAndAddRelaxed(1); });
            connect(ws, &QWebSocket::connected, this,
                    [ws] { ws->sendTextMessage(QStringLiteral(R"({"cmd":"subscribe","id":1,"topics":["reading"],"rate":10})")); });
            ws->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(port).arg(apirig::Token)));
        }
    }
    QAtomicInt received;
};

// A client on a thread of its own that asks for the newest 500 records
// again as soon as each answer comes, refused or not.
class RecordsLooper : public QObject
{
public:
    void open(const QUrl &url)
    {
        ws = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
        connect(ws, &QWebSocket::connected, this, &RecordsLooper::ask);
        connect(ws, &QWebSocket::textMessageReceived, this, [this](const QString &text) {
            const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
            if (m.value(QStringLiteral("type")) != QLatin1String("reply"))
                return;
            const int rows = m.value(QStringLiteral("records")).toArray().size();
            (m.value(QStringLiteral("ok")).toBool() ? answered : refused).fetchAndAddRelaxed(1);
            lastRows = rows;
            ask();
        });
        ws->open(url);
    }
    void ask()
    {
        if (!stopping)
            ws->sendTextMessage(QStringLiteral(R"({"cmd":"listRecords","id":1,"limit":500})"));
    }
    QAtomicInt answered, refused, lastRows, stopping;

private:
    QWebSocket *ws = nullptr;
};

QList<QByteArray> procLines(qint64 pid, const char *file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>();
}

// What a fresh process costs: from its start to the first poll the meter
// stand-in sees, its resident memory a second after that, and the font
// files it maps by then.
struct StartFigures {
    QVector<double> pollMs, rssMb;
    QStringList fonts;
};

void startOnce(const QString &program, QTcpServer &meter, StartFigures *figures)
{
    qint64 pollMs = -1;
    QElapsedTimer clock;
    QObject context;
    QObject::connect(&meter, &QTcpServer::newConnection, &context, [&] {
        // Gone with this run, so no late byte of it counts for the next one.
        while (QTcpSocket *s = meter.nextPendingConnection()) {
            s->setParent(&context);
            QObject::connect(s, &QTcpSocket::readyRead, &context, [&pollMs, &clock, s] {
                if (s->readAll().contains(QByteArray::fromHex("213300AC")) && pollMs < 0)
                    pollMs = clock.elapsed();
            });
        }
    });
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    clock.start();
    p.start(program, QStringList());
    QVERIFY2(QTest::qWaitFor([&] { return pollMs >= 0; }, 10000), qPrintable(program + " never polled"));
    // Settled: a second of polling, as the operator first sees it.
    QTest::qWait(1000);
    figures->pollMs << double(pollMs);
    for (const QByteArray &line : procLines(p.processId(), "status"))
        if (line.startsWith("VmRSS:"))
            figures->rssMb << line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024.0;
    figures->fonts.clear();
    for (const QByteArray &line : procLines(p.processId(), "maps"))
        if (line.contains("/fonts/"))
            figures->fonts << QString::fromUtf8(line.mid(line.indexOf('/')));
    figures->fonts.removeDuplicates();
    p.kill();
    p.waitForFinished();
}

// 'count' records of full size for up to 20,000 vehicles, one every 4
// minutes, laid down in one transaction.
void fillHistory(const QString &path, const TestRecord &sample, int count = 100000)
{
    const QString json = QString::fromUtf8(QJsonDocument(sample.toJson()).toJson(QJsonDocument::Compact));
    fixtures::OtherConnection bulk(path);
    bulk.exec("BEGIN");
    QSqlQuery q(bulk.db);
    q.prepare("INSERT INTO records (id, started, plate, vin, verdict, operator, method, outcome, mean_k, limit_k, hash, json) "
              "VALUES (?, ?, ?, ?, 'pass', '王工', 'R24', 'valid', 1.24, 2.5, ?, ?)");
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        for (const QVariant &v : {QVariant(QUuid::createUuid().toString(QUuid::WithoutBraces)), QVariant(RecordTime::text(start.addSecs(i * 240))),
                                  QVariant(QStringLiteral("京A%1").arg(i % 20000, 5, 10, QLatin1Char('0'))),
                                  QVariant(QStringLiteral("LSVAM4187C%1").arg(i % 20000, 7, 10, QLatin1Char('0'))), QVariant(sample.hash), QVariant(json)})
            q.addBindValue(v);
        if (!q.exec())
            qWarning("cannot fill the history: %s", qPrintable(q.lastError().text()));
    }
    bulk.exec("COMMIT");
}

} // namespace

// Figures, never assertions: the window's hot paths; what the live curve and
// recording cost the polling; the sweep, across a veth pair to a namespace
// of its own; the link mended after the simulator's outages. Uses the fixed
// port and segment keys and makes network devices, so run it as root in a
// fresh namespace: unshare -n -i (see the README).
class Bench : public QObject
{
    Q_OBJECT
    testsupport::ScopedWorkDir workDir;

private slots:
    void initTestCase()
    {
        for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces())
            if (!(iface.flags() & QNetworkInterface::IsLoopBack))
                QSKIP("run me in a fresh network namespace: unshare -n -i");
        // Only the printing of the per-frame debug line is dropped, not its cost;
        // and the offscreen platform's note on every stale look.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
            if (type != QtDebugMsg && !msg.contains(QLatin1String("window opacity")))
                std::fprintf(stderr, "%s\n", qPrintable(msg));
        });
    }

    // Start-up, one polling tick's look at the command segment, cutting a
    // received stream into frames by read size.
    void hotPaths()
    {
        SocketClient::overrideLocalAddress([] { return QString(); });
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
    void trend()
    {
        const QByteArray replies[] = {Reply, testsupport::measurementReply(2345, 3000, 83, 26, 31, 2049)};
        const int count = 20000;
        PolledWindow rig;
        meterrig::MeterStandIn &meter = rig.meter;
        int burst = 0, received = 0, reads = 0, burstReads = 0;
        meter.reply = [&](const QByteArray &) {
            const QByteArray one = replies[meter.commands.size() & 1];
            if (!burst)
                return one;
            received = reads = 0;
            return one.repeated(std::exchange(burst, 0));
        };
        QVERIFY(rig.show());
        MainWindowTestAccess &a = rig.a;
        std::printf("decoding a reply into the form: %.2f us\n", microsPer(count, [&](int i) { a.seraildata(replies[i & 1]); }));
        auto *page = a.showPage<TrendPage>("trendTab");
        LaneSession *session = a.session();
        LaneReading reading = session->lastReading();  // every value shown
        TrendBuffer trend;
        const double trendOnly = microsPer(count, [&](int i) {
            reading.monotonicMs = i;
            reading.n = float(i % 100);
            trend.append(reading);
        });
        QTemporaryDir scratch;
        Recorder recorder;
        QVERIFY(recorder.start(scratch.filePath(QStringLiteral("bench.csv"))));
        const double row = microsPer(count, [&](int) { recorder.record(reading); });
        recorder.stop();
        std::printf("per reply: the last minute %.2f us, recorded row %.2f us\n", trendOnly, row);

        // Per redraw: the whole buffer to the series, then the chart drawn; a
        // minute at ten replies a second, then the full ring.
        auto *view = page->findChild<QtCharts::QChartView *>();
        for (int points : {600, TrendBuffer::Capacity}) {
            qint64 fake = qint64(points) * 1000000;  // far past every earlier point
            session->setClock([&] { return LaneStamp{fake, QDateTime()}; });
            for (int i = 0; i < points; ++i, fake += TrendBuffer::SpanMs / points)
                session->takeFrame(testsupport::measurementReply(qint16(i % 100 * 100), 0, qint16(i % 7 * 100), 25, 30, 2));
            std::printf("per redraw, %d points: %.2f ms\n", a.session()->trend().size(), microsPer(50, [&](int) {
                page->refresh();
                view->viewport()->repaint();
            }) / 1000.0);
        }
        session->setClock({});

        // A burst read in pieces lets polls in between, so warm-up bursts first
        // grow the loopback receive window until one arrives in one read.
        // The read that brings the burst's last reply is counted only after the
        // client has handled it, hence the + 1.
        connect(session, &LaneSession::readingTaken, this, [&] { burstReads = ++received == count ? reads + 1 : burstReads; });
        connect(rig.w.findChild<SocketClient *>()->findChild<QTcpSocket *>(), &QTcpSocket::readyRead, this, [&] { ++reads; });
        const auto absorbBurst = [&] { burst = count; return QTest::qWaitFor([&] { return !burst && received >= count; }, 60000); };
        for (int warmUp = 0; warmUp < 5 && burstReads != 1; ++warmUp)
            QVERIFY(absorbBurst());
        for (bool inView : {false, true}) {
            a.ui().tabWidget->setCurrentIndex(inView ? 2 : 0);
            if (inView)
                page->toggleRecording();
            const QString how = inView ? "curve in view, recording" : "data page in front";
            rig.printPeriods(how);
            rig.periods.clear();
            QVERIFY(absorbBurst());
            QTest::qWait(1000);
            printSpread(QStringLiteral("poll period around a 20,000-reply burst in %1 read(s), %2").arg(burstReads).arg(how),
                        rig.periods);
        }
    }

    // How soon a sweep stops once its client is destroyed; how long one takes
    // to find a server at host 42 or 250, or to give up on an empty subnet.
    void sweep()
    {
        const auto run = [](const QString &command) { return QProcess::execute("sh", {"-c", command}) == 0; };
        // On loopback, where every probe would wait 10 s for an answer.
        SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
        SocketClient::overrideProbeWait(10000);
        QVector<double> stops;
        for (int i = 0; i < 5; ++i) {
            discoverytest::SilentHost everywhere;
            QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
            auto client = std::make_unique<SocketClient>();
            client->findServer();
            QThread::msleep(20);  // the probes start
            stops << timedMs(1, [&](int) { client.reset(), QThreadPool::globalInstance()->waitForDone(); });
        }
        printSpread("sweep stopped after its client was destroyed", stops);
        SocketClient::overrideProbeWait(0);

        QProcess peer;  // holds the far namespace: 10.77.0.1 here, 10.77.0.H there
        peer.start("unshare", {"-n", "sh", "-c", "echo; exec sleep 3600"});
        QVERIFY(peer.waitForReadyRead(5000));
        const QString pid = QString::number(peer.processId()), there = "nsenter -t " + pid + " -n ";
        QVERIFY(run(QStringLiteral("ip link add va type veth peer name vb netns %1 && ip addr add 10.77.0.1/24 dev va"
                                   " && ip link set va up && %2 ip link set vb up").arg(pid, there)));
        SocketClient::overrideLocalAddress([] { return QStringLiteral("10.77.0.1"); });
        for (int host : {42, 250, 0}) {
            const QString address = QStringLiteral("10.77.0.%1").arg(host);
            QProcess sim;
            QVERIFY(run(there + "ip addr flush dev vb" + (host ? " && " + there + "ip addr add " + address + "/24 dev vb" : "")));
            if (host) {
                sim.start("nsenter", {"-t", pid, "-n", OPA_SIM_PATH, "--quiet", "--listen", address});
                QVERIFY(sim.waitForReadyRead(5000));
            }
            QThread::msleep(200);  // the link settles (carrier up, no stale neighbours)
            QString found;
            const QVector<double> ms = timedMs(7, [&](int) {
                SocketClient client;
                QSignalSpy ended(&client, &SocketClient::sweepEnded);
                client.findServer();
                ended.wait(30000);
                const QStringList meters = ended.isEmpty() ? QStringList() : ended.at(0).at(0).toStringList();
                found = meters.isEmpty() ? QStringLiteral("nothing") : meters.join(QLatin1Char(','));
            });
            printSpread(QStringLiteral("sweep, server at %1: found %2").arg(host ? address : "no host", found), ms);
            sim.close();
        }
        peer.close();
    }

    // The time from the simulator's return after an outage to the next
    // measurement on the form, and the CPU used while it is away: 8 s, so the
    // link runs its five tries and one sweep; then 3 s up.
    void outage()
    {
        QSettings("./set.ini", QSettings::IniFormat).setValue("Server/IP", "127.0.0.1");
        SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
        QProcess sim;
        sim.start(OPA_SIM_PATH, {"--quiet", "--outage", "3000:8000"});
        QVERIFY(sim.waitForStarted());
        mainwindow w;
        MainWindowTestAccess(w).setNoticeDelay(3600000);
        w.show();
        QElapsedTimer clock;
        clock.start();
        double awayFrom = 0, cpuFrom = 0, away = 0, cpu = 0;
        qint64 backAt = -1;
        QVector<double> back;
        connect(&sim, &QProcess::readyRead, this, [&] {
            while (sim.canReadLine()) {
                const QByteArray line = sim.readLine();
                const double now = clock.nsecsElapsed() / 1e9, cpuNow = double(std::clock()) / CLOCKS_PER_SEC;
                if (line.contains("outage over")) {
                    backAt = clock.elapsed();
                    away += now - awayFrom;
                    cpu += cpuNow - cpuFrom;
                } else if (line.contains("outage:")) {
                    awayFrom = now;
                    cpuFrom = cpuNow;
                }
            }
        });
        connect(MainWindowTestAccess(w).session(), &LaneSession::readingTaken, this, [&] {
            if (backAt >= 0)
                back << double(clock.elapsed() - std::exchange(backAt, -1));
        });
        QVERIFY(QTest::qWaitFor([&] { return back.size() == 4; }, 80000));
        printSpread("server back -> measurement shown", back);
        std::printf("CPU while the server was away: %.2f %% of a core\n", 100 * cpu / away);
        sim.close();
    }

    // Storing a record with a 60-s trace, each in its own transaction as the
    // program does; the history filtered by plate over 100,000 records of full
    // size (20,000 vehicles, five tests each), laid down in one transaction.
    void records()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("opacimeter.sqlite");
        RecordStore store;
        QVERIFY(store.open(path));
        const TestRecord sample = fixtures::record("京A00000", 0, {1.5, 1.3, 1.22, 1.2, 1.25}, 60);
        const QByteArray json = QJsonDocument(sample.toJson()).toJson(QJsonDocument::Compact);
        std::printf("a record with a 60-s trace: %d bytes of JSON, %d readings\n", json.size(), sample.trace.tMs.size());
        QVector<TestRecord> fresh;
        for (int i = 0; i < 200; ++i)
            fresh << fixtures::record(QStringLiteral("京B%1").arg(i), i, {1.5, 1.3, 1.22, 1.2, 1.25}, 60);
        bool stored = true;
        const QVector<double> storing = timedMs(200, [&](int i) { stored = store.store(fresh.at(i)) && stored; });
        QVERIFY(stored);
        printSpread("storing a record with a 60-s trace", storing);

        fillHistory(path, sample);
        std::printf("database with %d records: %.0f MB\n", store.query(RecordFilter()).size(), QFileInfo(path).size() / 1e6);
        const auto timeFilter = [&](const QString &what, const std::function<void(RecordFilter &)> &set) {
            RecordFilter filter;
            set(filter);
            int rows = 0;
            const QVector<double> ms = timedMs(20, [&](int) { rows = store.query(filter).size(); });
            printSpread(QStringLiteral("%1 (%2 rows)").arg(what).arg(rows), ms);
        };
        timeFilter("history by plate text 'A12345'", [](RecordFilter &f) { f.plate = "A12345"; });
        timeFilter("history by plate text '京A1', newest 1000", [](RecordFilter &f) { f.plate = "京A1"; f.limit = 1000; });
        timeFilter("history by plate or VIN text '12345'", [](RecordFilter &f) { f.text = "12345"; });
        timeFilter("history unfiltered, newest 1000", [](RecordFilter &f) { f.limit = 1000; });
    }

    // The poll period while the window's archive stores a record with a 60-s
    // trace every second and the history in front reads each one back; then
    // while another program holds the database's write lock for 5 s.
    void pollWhileStoring()
    {
        PolledWindow rig;
        QVERIFY(rig.show());
        auto *archive = rig.w.findChild<TestArchive *>();
        rig.a.showPage<HistoryPage>("historyTab");
        rig.periods.clear();
        int stored = 0;
        connect(archive->keeper(), &RecordKeeper::recordStored, this, [&] { ++stored; });
        QTimer every;
        int made = 0;
        const auto keep = [&](const QString &plate) { archive->keeper()->keep(fixtures::record(plate, made, {1.5, 1.3, 1.22, 1.2, 1.25}, 60)); };
        connect(&every, &QTimer::timeout, this, [&] { keep(QStringLiteral("京C%1").arg(made++)); });
        every.start(1000);
        QTest::qWait(20000);
        every.stop();
        QVERIFY(QTest::qWaitFor([&] { return stored == made; }, 10000));
        printSpread(QStringLiteral("poll period, a record with a 60-s trace stored every second (%1 stored)").arg(stored),
                    rig.periods);

        fixtures::OtherConnection other(archive->databasePath());
        QVERIFY(other.holdWriteLock());
        keep(QStringLiteral("京D1"));
        rig.printPeriods(QStringLiteral("the database locked by another program"), 5000);
        other.release();
    }

    // 1,000 queued records forwarded to a PostgreSQL of the benchmark's own,
    // once with its fsync on (as a station runs it) and once without: through
    // the forwarder on its thread, and again (the queue reset) through the
    // shutdown script's one-shot sync, which finds every record there already.
    void stationForward()
    {
        const QString missing = testsupport::PgServer::unavailableReason();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        for (bool durable : {true, false}) {
            testsupport::PgServer pg(durable);
            QVERIFY2(pg.start(), qPrintable(pg.errorString()));
            QVERIFY(pg.createDatabase("bench"));
            const QString lane = workDir.filePath(QStringLiteral("lane-%1.sqlite").arg(durable));
            {
                RecordStore store;
                QVERIFY(store.open(lane));
                for (int i = 0; i < 1000; ++i)
                    QVERIFY(store.store(fixtures::record(QStringLiteral("京A%1").arg(i, 5, 10, QLatin1Char('0')), i)));
            }
            station::ForwardOptions options;
            options.laneDb = lane;
            options.server = pg.settings("bench");
            station::Forwarder forwarder(options);
            bool synced = false;
            connect(&forwarder, &station::Forwarder::synced, this, [&] { synced = true; });
            QElapsedTimer clock;
            clock.start();
            forwarder.start();
            QVERIFY(QTest::qWaitFor([&] { return synced; }, 60000));
            const qint64 forwardMs = clock.elapsed();
            QVERIFY(fixtures::OtherConnection(lane).exec("UPDATE forward_queue SET sent = NULL"));
            clock.restart();
            const station::SyncResult again = station::syncOnce(lane, options.server);
            const qint64 againMs = clock.elapsed();
            QCOMPARE(again.sent, 1000);
            // One record a transaction and a round trip took 4.27 s with fsync on.
            std::printf("station, fsync %s: 1000 records forwarded in %lld ms (%.2f ms each; one at a time: %s); "
                        "sent again (already there) in %lld ms\n",
                        durable ? "on" : "off", forwardMs, forwardMs / 1000.0, durable ? "4270 ms" : "not measured", againMs);
        }
    }

    // The WebSocket API fed from the window's own polling: the program's CPU
    // (its main thread) with no client, with 16 clients taking readings at
    // 10/s, and the poll period with a client that has stopped reading.
    void api()
    {
        PolledWindow rig;
        QVERIFY(rig.show());
        apirig::Served served;
        ApiServer &server = served.server;
        QVERIFY(served.start());
        connect(rig.a.session(), &LaneSession::readingTaken, this,
                [&](const LaneReading &r) { server.publishReading(api::readingFrom(r)); });
        const auto measure = [&](const char *what) { std::printf("%s: %.2f %% of a core\n", what, rig.printPeriods(what)); };
        measure("no API client");

        qRegisterMetaType<QAbstractSocket::SocketState>();  // the clients' sockets signal across threads
        QThread thread;
        ApiClients clients;
        clients.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(&clients, [&] { clients.open(ApiServer::MaxClients - 1, server.port()); });
        QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == ApiServer::MaxClients - 1; }, 10000));
        QTcpSocket stalled;
        QVERIFY(apirig::openStalled(stalled, server.port()));
        QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == ApiServer::MaxClients; }, 5000));
        const int before = clients.received;
        measure("16 clients at 10/s, one of them stalled");
        std::printf("readings per client and second: %.1f\n", (clients.received - before) / 15.0 / 20.0);
        // Drive the stalled one into dropping, then measure again. Readings of
        // one moment reach only the clients without a rate, the stalled one.
        const qint64 now = rig.clock.elapsed();
        for (int i = 0; i < 5000 && server.clients().last().dropped == 0; ++i)
            server.publishReading({QDateTime::currentDateTime(), now, 1, 1, {}, {}, {}, {}});
        const auto last = server.clients().last();
        std::printf("stalled client: %lld bytes waiting, %lld readings dropped\n", last.backlog, last.dropped);
        measure("16 clients, the stalled one dropping readings");
        thread.quit();
        thread.wait();
    }

    // The poll period while a client asks the window's own API for the
    // newest 500 of 20,000 records of full size again as soon as each answer
    // comes (its commands beyond 20 a second refused): the reads go to the
    // API's reader thread, so the polling should not see them.
    void apiRecordsLoop()
    {
        {
            RecordStore store;
            QVERIFY(store.open(settings::databaseFile()));
        }
        fillHistory(settings::databaseFile(), fixtures::record("京A00000", 0, {1.5, 1.3, 1.22, 1.2, 1.25}, 60), 20000);
        PolledWindow rig;
        QVERIFY(rig.show());
        rig.w.startApi();
        auto *bridge = rig.w.findChild<ApiBridge *>();
        QVERIFY(bridge && bridge->server()->listening());
        rig.printPeriods(QStringLiteral("no API client"), 10000);

        qRegisterMetaType<QAbstractSocket::SocketState>();  // the client's socket signals across threads
        QThread thread;
        RecordsLooper looper;
        looper.moveToThread(&thread);
        thread.start();
        const QUrl url(QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(bridge->server()->port()).arg(settings::storedApiSettings().token));
        QMetaObject::invokeMethod(&looper, [&] { looper.open(url); });
        QVERIFY(QTest::qWaitFor([&] { return looper.answered > 0; }, 10000));
        const int answered = looper.answered, refused = looper.refused;
        const double cpu = rig.printPeriods(QStringLiteral("a client looping listRecords (%1 rows)").arg(int(looper.lastRows)));
        std::printf("listRecords in 20 s: %d answered, %d refused; the main thread used %.1f %% of a core\n",
                    looper.answered - answered, looper.refused - refused, cpu);
        looper.stopping = 1;
        thread.quit();
        thread.wait();
    }

    // The poll period while the station's server is away: refused at once (no
    // socket in its folder) and taking the connection without a word; and with
    // no server set, as the machine's own figure to compare them with. The
    // window's own link forwards five queued records and is asked to try
    // again every 200 ms, as a lane storing records would.
    void stationPolling()
    {
        QTemporaryDir dead, silentDir;
        QLocalServer silent;  // the kernel accepts for it; it never answers
        QVERIFY(silent.listen(silentDir.filePath(QStringLiteral(".s.PGSQL.5432"))));
        {
            RecordStore store;
            QVERIFY(store.open(settings::databaseFile()));
            for (int i = 0; i < 5; ++i)
                QVERIFY(store.store(fixtures::record(QStringLiteral("京B%1").arg(i), i)));
        }
        // Without a server first, for the same machine's figure to compare.
        const QPair<QString, QString> hosts[] = {{"none", QString()}, {"unreachable", dead.path()},
                                                 {"never answers", silentDir.path()}};
        for (const auto &host : hosts) {
            QSettings ini(QStringLiteral("./set.ini"), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Database/ServerHost"), host.second);
            ini.setValue(QStringLiteral("Database/ServerName"), QStringLiteral("station"));
            ini.sync();
            PolledWindow rig;
            QVERIFY(rig.show());
            auto *link = rig.w.findChild<station::StationLink *>();
            QVERIFY(link && link->isActive() == !host.second.isEmpty());
            QTimer asks;
            connect(&asks, &QTimer::timeout, link, &station::StationLink::tryNow);
            asks.start(200);
            rig.printPeriods(QStringLiteral("station server %1").arg(host.first));
            std::printf("  header: %s\n", qPrintable(link->statusText()));
        }
    }

    // The program against a bare Qt window with the same captions in the same
    // family and the program's pacing to its first poll (bench/barewindow.cpp),
    // each a fresh process, in turns, against a meter stand-in on 127.0.0.1.
    void startUp()
    {
        QTcpServer meter;
        QVERIFY(meter.listen(QHostAddress::LocalHost, 8899));
        QSettings(QStringLiteral("set.ini"), QSettings::IniFormat).setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
        const QString programs[] = {QStringLiteral(OPA_HOST_PATH), QStringLiteral(OPA_BARE_PATH)};
        StartFigures figures[2];
        for (int run = 0; run < 7; ++run)
            for (int i = 0; i < 2; ++i) {
                startOnce(programs[i], meter, &figures[i]);
                if (QTest::currentTestFailed())
                    return;
            }
        const char *names[] = {"program", "bare window"};
        for (int i = 0; i < 2; ++i) {
            printSpread(QStringLiteral("%1, start to first poll").arg(names[i]), figures[i].pollMs);
            printSpread(QStringLiteral("%1, resident memory").arg(names[i]), figures[i].rssMb, "MB");
            std::printf("%s maps: %s\n", names[i], qPrintable(figures[i].fonts.join(QLatin1String(", "))));
        }
    }
};

OPA_TEST_CLASS(Bench)
#include "bench.moc"
