#include <QtTest>

#include <QTcpSocket>

#include "api/apibridge.h"
#include "api/apiclient.h"
#include "api/apimessages.h"
#include "config/settings.h"
#include "lane/lanesession.h"
#include "records/recordcsv.h"
#include "records/recordstore.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "support/apirig.h"
#include "support/recordfixtures.h"

using apirig::cmd;
using apirig::field;
using apirig::Peer;
using apirig::Served;
using testsupport::measurementReply;

namespace {

api::Reading readingAt(qint64 ms) { return {{}, ms, {}, {}}; }

QJsonObject startCommand(const QString &method = QString())
{
    QJsonObject c = cmd("startTest", {{QStringLiteral("token"), apirig::Token}, {QStringLiteral("operator"), QStringLiteral("李四")},
        {QStringLiteral("vehicle"), QJsonObject{{QStringLiteral("plate"), QStringLiteral(" 京a12345 ")},
            {QStringLiteral("category"), QStringLiteral("N2")}, {QStringLiteral("intake"), QStringLiteral("turbo")}}}});
    if (!method.isEmpty())
        c.insert(QStringLiteral("method"), method);
    return c;
}

// The lane as the program has it: a session fed replies on a clock of the
// test's, the adapter, and its server on 127.0.0.1.
struct Lane : testsupport::ClockedLane {
    ApiBridge bridge{&session, QStringLiteral("records.sqlite")};

    Lane() { bridge.start(apirig::onLoopback()); }
    void connectMeter() { emit session.linkChanged(LinkKeeper::State::Connected, QStringLiteral("127.0.0.1")); }
    bool store(const QVector<TestRecord> &records)
    {
        RecordStore writer;
        bool ok = writer.open(QStringLiteral("records.sqlite"));
        for (const TestRecord &r : records)
            ok = ok && writer.store(r);
        return ok;
    }
};

} // namespace

// The server with real WebSocket clients on 127.0.0.1: the readings, bad
// input of every kind, the client cap, and a client that stops reading;
// then the API against the real session, where what a lane does reaches the
// clients in the API's terms and the commands act on the session and the
// records.
class tst_ApiServer : public QObject
{
    Q_OBJECT

private slots:
    // --- readings

    void readingRate_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<int>("received");
        const QList<int> second = {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000};
        QTest::newRow("poll rate") << "reading" << 0 << second << 11;
        QTest::newRow("10/s thins a burst") << "reading" << 10 << QList<int>{0, 10, 20, 100, 110, 200} << 3;
        QTest::newRow("5/s, polls jittered") << "reading" << 5 << QList<int>{0, 98, 203, 297, 401, 499, 602} << 4;
        QTest::newRow("1/s") << "reading" << 1 << (second + QList<int>{1100, 1900, 2000}) << 3;
        QTest::newRow("records only: none") << "record" << 0 << second << 0;
    }

    // Readings come at the poll rate, or at the rate asked for; a late poll
    // does not make the next one wait a full period; only to those who asked.
    void readingRate()
    {
        QFETCH(QString, topic); QFETCH(int, rate); QFETCH(QList<int>, times); QFETCH(int, received);
        Served s;
        QVERIFY(s.start());
        Peer peer(s.server);
        QJsonObject subscribe{{QStringLiteral("topics"), QJsonArray{topic}}};
        if (rate)
            subscribe.insert(QStringLiteral("rate"), rate);
        QCOMPARE(peer.ask(cmd("subscribe", subscribe)).value(QStringLiteral("ok")), QJsonValue(true));
        for (int ms : times)
            s.server.publishReading(readingAt(ms));
        s.server.publishLink({QStringLiteral("retrying"), QStringLiteral("127.0.0.1")});
        QVERIFY(!peer.ask(cmd("listRecords")).isEmpty());  // all before it are in
        QCOMPARE(peer.ofType("reading").size(), received);
        QCOMPARE(peer.messages.size(), received + 3);  // the hello and two replies; no link event
    }

    // --- bad input

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("frameSize");  // 0: as text, 1: as one binary frame
        QTest::addColumn<QString>("error");  // "closed": closed as too big
        const auto sized = [](int size) {
            const QByteArray head = "{\"cmd\":\"listRecords\",\"id\":1,\"plate\":\"";
            return head + QByteArray(size - head.size() - 2, 'A') + "\"}";
        };
        QTest::newRow("invalid JSON") << QByteArray("{\"cmd\":\"subscribe\",") << 0 << "invalid JSON";
        QTest::newRow("binary frame") << QByteArray(R"({"cmd":"listRecords","id":1})") << 1 << "JSON text frames";
        QTest::newRow("64 KiB in one frame: read") << sized(64 * 1024) << 512 * 1024 << "at most 16";
        QTest::newRow("a byte more") << sized(64 * 1024 + 1) << 512 * 1024 << "closed";
        QTest::newRow("100 KiB in small frames") << sized(100 * 1024) << 16 * 1024 << "closed";
    }

    // Each gets an error reply, and the connection goes on serving; past
    // 64 KiB the client is closed with the reason, whatever its frames.
    void badInput()
    {
        QFETCH(QByteArray, text); QFETCH(int, frameSize); QFETCH(QString, error);
        Served s;
        QVERIFY(s.start());
        Peer peer(s.server);
        QVERIFY(peer.waitConnected());
        if (frameSize > 1)
            peer.ws.setOutgoingFrameSize(quint64(frameSize));
        frameSize == 1 ? peer.ws.sendBinaryMessage(text) : peer.ws.sendTextMessage(QString::fromUtf8(text));
        if (error == QLatin1String("closed")) {
            QVERIFY(peer.waitClosed());
            QVERIFY(peer.ws.closeCode() == QWebSocketProtocol::CloseCodeTooMuchData && !peer.ws.closeReason().isEmpty());
            return;
        }
        const QJsonObject answer = peer.waitFor([](const QJsonObject &m) { return m.contains(QStringLiteral("ok")); });
        QCOMPARE(answer.value(QStringLiteral("ok")), QJsonValue(false));
        QVERIFY2(answer.value(QStringLiteral("error")).toString().contains(error), qPrintable(answer.value(QStringLiteral("error")).toString()));
        QVERIFY(peer.ask(apirig::withToken(cmd("listRecords"))).value(QStringLiteral("ok")).toBool());
    }

    // The seventeenth client is closed with the reason, though it shows the
    // token as the others do; once one leaves, another gets in.
    void tooManyClients()
    {
        Served s;
        QVERIFY(s.start());
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < ApiServer::MaxClients; ++i)
            peers.push_back(std::make_unique<Peer>(s.server, QStringLiteral("?token=") + apirig::Token));
        QVERIFY(QTest::qWaitFor([&] { return s.server.clients().size() == ApiServer::MaxClients; }, 5000));
        Peer extra(s.server, QStringLiteral("?token=") + apirig::Token);
        QVERIFY(extra.waitClosed());
        QVERIFY(extra.ws.closeReason() == QStringLiteral("too many clients: at most 16") && extra.messages.isEmpty());
        peers.front()->ws.close();
        QVERIFY(QTest::qWaitFor([&] { return s.server.clients().size() == ApiServer::MaxClients - 1; }, 5000));
        Peer late(s.server);
        QVERIFY(!late.waitType("hello").isEmpty());
    }

    // --- a client that stops reading

    // Readings for it are dropped, oldest first, so what it holds stays
    // bounded while the others are served; messages that cannot be dropped
    // close it once 1 MiB waits.
    void slowClient()
    {
        Served s;
        QVERIFY(s.start());
        ApiServer &server = s.server;
        QTcpSocket stalled;
        QVERIFY(apirig::openStalled(stalled, server.port()));
        QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == 1; }, 5000));
        Peer healthy(server, QStringLiteral("?token=") + apirig::Token);
        QVERIFY(!healthy.waitType("hello").isEmpty());

        qint64 ms = 0;
        QVERIFY(QTest::qWaitFor([&] {
            for (int i = 0; i < 200; ++i)
                server.publishReading(readingAt(ms += 100));
            return server.clients().first().dropped > 0;
        }, 60000));  // allocation is slow with the leak checker's full stacks
        QVERIFY(server.clients().first().backlog <= api::Client::SocketHighWater + api::Client::ReadingQueueLimit + 1024);
        const int before = healthy.ofType("reading").size();
        server.publishReading(readingAt(ms += 100));
        QVERIFY(QTest::qWaitFor([&] { return healthy.ofType("reading").size() > before; }, 5000));

        QVERIFY(healthy.ask(cmd("subscribe", {{QStringLiteral("topics"), QJsonArray{QStringLiteral("reading")}}}))
                    .value(QStringLiteral("ok")).toBool());
        // The stalled socket no longer reads, so only the server sees the end.
        for (int i = 0; i < 30000 && server.clients().size() == 2; ++i)
            server.publishRecord(QStringLiteral("%1").arg(i, 36, 10, QLatin1Char('0')), true);
        QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == 1; }, 5000));
        QVERIFY(healthy.ask(apirig::withToken(cmd("listRecords"))).value(QStringLiteral("ok")).toBool());
    }

    // --- starting

    void startRefused_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("switched off") << "off" << "Enabled=false";
        QTest::newRow("Listen refused") << "listen" << "Listen must be";
        QTest::newRow("other address, no token") << "address" << "needs a token";
    }

    // The API stays off with one status line saying why; the program goes
    // on, and a later start with good settings listens. A port taken is the
    // window's test (tst_Window::apiPortTaken).
    void startRefused()
    {
        QFETCH(QString, fault); QFETCH(QString, status);
        settings::ApiSettings s = apirig::onLoopback(fault == QLatin1String("address") ? QString() : apirig::Token);
        s.enabled = fault != QLatin1String("off");
        s.listenError = fault == QLatin1String("listen") ? QStringLiteral("Listen must be an address and a port") : QString();
        s.address = QHostAddress(fault == QLatin1String("address") ? "10.1.2.3" : "127.0.0.1");
        apirig::LaneStandIn lane;
        ApiServer server(&lane);
        QSignalSpy told(&server, &ApiServer::statusChanged);
        QVERIFY(!server.start(s) && !server.listening());
        QCOMPARE(told.size(), 1);
        QVERIFY2(server.statusText().contains(status), qPrintable(server.statusText()));
        QVERIFY(server.start(apirig::onLoopback()));
        QVERIFY(server.statusText().contains(QStringLiteral("ws://127.0.0.1:%1/").arg(server.port())));
    }

    // --- against the session

    // The hello tells the link as the session last heard it; readings, with
    // null where the form shows nothing, the link and the meter's events
    // follow as they happen.
    void helloAndEvents()
    {
        Lane lane;
        lane.connectMeter();
        Peer peer(*lane.bridge.server());
        const QJsonObject hello = peer.waitType("hello");
        QCOMPARE(field(hello.value(QStringLiteral("link")).toObject(), "state") + ' ' + field(hello.value(QStringLiteral("link")).toObject(), "address")
                     + ' ' + field(hello.value(QStringLiteral("series")).toObject(), "state") + ' ' + field(hello, "profile"),
                 QStringLiteral("connected 127.0.0.1 idle 自定义"));

        lane.session.takeFrame(measurementReply(1234, 5, 30, 25, 31, 4097));
        lane.clock.ms = 1500;
        lane.session.takeFrame(measurementReply(1234, 5, -1, 25, 31, 2048));
        emit lane.session.linkChanged(LinkKeeper::State::Retrying, QStringLiteral("127.0.0.1"));
        lane.session.takeFrame(testsupport::hex("063900C1"));
        QVERIFY(!peer.waitType("meter").isEmpty());

        const QList<QJsonObject> readings = peer.ofType("reading");
        QCOMPARE(readings.size(), 2);
        QCOMPARE(readings.at(0), (QJsonObject{{QStringLiteral("type"), QStringLiteral("reading")},  // energy above the meter's range
            {QStringLiteral("time"), QStringLiteral("2026-05-01T08:30:00.000")}, {QStringLiteral("N"), 12.34}, {QStringLiteral("Ns"), 0.05},
            {QStringLiteral("K"), 0.3}, {QStringLiteral("chamber_C"), 25}, {QStringLiteral("smoke_C"), 31}, {QStringLiteral("energy"), QJsonValue()}}));
        QCOMPARE(field(readings.at(1), "time"), QStringLiteral("2026-05-01T08:30:01.500"));
        QVERIFY(readings.at(1).value(QStringLiteral("K")).isNull() && readings.at(1).value(QStringLiteral("smoke_C")).isNull());
        QCOMPARE(field(peer.ofType("link").value(0), "state") + ' ' + field(peer.ofType("meter").value(0), "event") + ' '
                     + field(peer.ofType("meter").value(0), "time"), QStringLiteral("retrying calibrated 2026-05-01T08:30:01.500"));
    }

    // A test started through the API runs in the session with the method in
    // use; its snaps, with local times and durations, and its result reach
    // the client, and the record follows once it is kept. Refused starts
    // say why and leave the session as it was.
    void startedSeriesReachesClient()
    {
        Lane lane;
        FreeAccelMethod inUse = FreeAccelMethod::r24();
        inUse.hasLimit = true;
        inUse.limitK = 1.43;
        lane.bridge.setMethodInUse(inUse);
        QVector<qint64> settledAt;
        connect(&lane.session, &LaneSession::snapFound, [&] { settledAt << lane.session.lastReading().monotonicMs; });
        Peer peer(*lane.bridge.server());
        QString said;
        const auto refused = [&](const QString &method, const char *error) {
            return (said = field(peer.ask(startCommand(method)), "error")).startsWith(QLatin1String(error));
        };
        QVERIFY2(refused({}, "refused: the meter is not connected"), qPrintable(said));
        lane.connectMeter();
        ProcedureProfile missing;
        missing.refusal = QStringLiteral("GB3847-2019 未找到");
        lane.session.setProfile(missing);
        QVERIFY2(refused({}, "refused: the procedure profile cannot be used: GB3847-2019"), qPrintable(said));
        lane.session.setProfile(ProcedureProfile());
        QVERIFY2(refused(QStringLiteral("R99"), "no method 'R99': one of R24, "), qPrintable(said));
        QVERIFY(peer.ask(startCommand()).value(QStringLiteral("ok")).toBool());
        QVERIFY2(refused({}, "refused: a series is running"), qPrintable(said));
        QVERIFY(lane.session.subject().vehicle.intake == Vehicle::Intake::Turbo);
        QCOMPARE(lane.session.subject().vehicle.plate + ' ' + lane.session.subject().operatorName, QStringLiteral("京A12345 李四"));

        for (double k : testsupport::snapCurve({1.50, 1.40, 1.45, 1.42})) {
            lane.session.takeFrame(measurementReply(1000, 0, qint16(qRound(k * 100)), 20, 21, 100));
            lane.clock.ms += 100;
        }
        lane.bridge.recordKept(QStringLiteral("5f0c2a1e-8e1b-4c1a-9d2e-0a1b2c3d4e5f"), false);
        QVERIFY(!peer.waitType("record").isEmpty());

        const QList<QJsonObject> series = peer.ofType("series");
        QCOMPARE(series.size(), 6);  // started, four snaps, finished
        QCOMPARE(field(series.at(0).value(QStringLiteral("method")).toObject(), "limit_K"), QStringLiteral("1.43"));
        for (int i = 0; i < 4; ++i) {
            const Snap &s = lane.session.series().snaps().at(i);
            QCOMPARE(field(series.at(1 + i), "index") + ' ' + field(series.at(1 + i), "time") + ' ' + field(series.at(1 + i), "duration_ms"),
                     QStringLiteral("%1 %2 %3").arg(i).arg(api::isoTime(lane.clock.start.addMSecs(s.startMs))).arg(settledAt.at(i) - s.startMs));
        }
        QCOMPARE(series.at(5), (QJsonObject{{QStringLiteral("type"), QStringLiteral("series")}, {QStringLiteral("event"), QStringLiteral("finished")},
            {QStringLiteral("snaps"), 4}, {QStringLiteral("peaks_K"), QJsonArray{1.5, 1.4, 1.45, 1.42}}, {QStringLiteral("mean_K"), 1.44},
            {QStringLiteral("valid"), true}, {QStringLiteral("limit_K"), 1.43}, {QStringLiteral("limit_source"), QStringLiteral("manual")},
            {QStringLiteral("verdict"), QStringLiteral("fail")}, {QStringLiteral("profile"), QStringLiteral("自定义")}}));
        QCOMPARE(peer.ofType("record").first().value(QStringLiteral("stored")), QJsonValue(false));

        // Started again, then stopped: abandoned, and nothing left to stop.
        QVERIFY(peer.ask(startCommand(QStringLiteral("三次平均"))).value(QStringLiteral("ok")).toBool());
        QCOMPARE(lane.session.series().method().counted, FreeAccelMethod::threeMean().counted);
        const QJsonObject stop = cmd("stopTest", {{QStringLiteral("token"), apirig::Token}});
        QVERIFY(peer.ask(stop).value(QStringLiteral("ok")).toBool());
        QCOMPARE(field(peer.ofType("series").last(), "event"), QStringLiteral("abandoned"));
        QCOMPARE(field(peer.ask(stop), "error"), QStringLiteral("no series is running"));
    }

    // Records come from the database in the records tool's shapes: one whole,
    // or the newest first as history lines. How a command's moments and
    // plate are read is tst_ApiCommands::accepted's, how the filter selects
    // tst_RecordStore::history's and the records tool's.
    void records()
    {
        Lane lane;
        Peer peer(*lane.bridge.server(), QStringLiteral("?token=") + apirig::Token);
        QCOMPARE(peer.ask(cmd("listRecords")).value(QStringLiteral("records")), QJsonValue(QJsonArray()));
        const QVector<TestRecord> stored{fixtures::record(QStringLiteral("京A12340"), 0), fixtures::record(QStringLiteral("京A12341"), 10),
                                         fixtures::record(QStringLiteral("京A12342"), 20)};
        QVERIFY(lane.store(stored));
        QCOMPARE(peer.ask(cmd("getRecord", {{QStringLiteral("id"), stored.at(1).id}})).value(QStringLiteral("record")).toObject(), stored.at(1).toJson());
        QCOMPARE(field(peer.ask(cmd("getRecord", {{QStringLiteral("id"), QStringLiteral("nope")}})), "error"), QStringLiteral("no record nope"));
        QCOMPARE(peer.ask(cmd("listRecords", {{QStringLiteral("limit"), 1}})).value(QStringLiteral("records")),
                 QJsonValue(QJsonArray{RecordCsv::listObject(stored.at(2).toJson())}));
    }

    // A record changed by hand in the file is marked, with what differs,
    // in getRecord's reply and in its listRecords row; the record itself
    // stays as stored; the others carry no mark. What the check catches is
    // the records' (tst_records).
    void recordsCarryTheirCheck()
    {
        Lane lane;
        const TestRecord changed = fixtures::record(QStringLiteral("京A12345"), 0);
        const TestRecord kept = fixtures::record(QStringLiteral("沪C11111"), 10);
        QVERIFY(lane.store({changed, kept}));
        {
            fixtures::OtherConnection person(QStringLiteral("records.sqlite"));
            QVERIFY(person.exec(QStringLiteral("DROP TRIGGER records_kept_unchanged")));
            QVERIFY(person.exec(QStringLiteral("UPDATE records SET mean_k = 1.14 WHERE id = '%1'").arg(changed.id)));
        }
        Peer peer(*lane.bridge.server(), QStringLiteral("?token=") + apirig::Token);
        const QJsonObject got = peer.ask(cmd("getRecord", {{QStringLiteral("id"), changed.id}}));
        QVERIFY2(got.value(QStringLiteral("ok")).toBool(), qPrintable(field(got, "error")));
        QCOMPARE(got.value(QStringLiteral("checkFailed")), QJsonValue(true));
        QVERIFY(got.value(QStringLiteral("differing")).toArray().contains(QStringLiteral("mean_k")));
        QVERIFY(!got.value(QStringLiteral("record")).toObject().contains(QStringLiteral("checkFailed")));
        const QJsonObject good = peer.ask(cmd("getRecord", {{QStringLiteral("id"), kept.id}}));
        QVERIFY(good.value(QStringLiteral("ok")).toBool() && !good.contains(QStringLiteral("checkFailed")));

        const QJsonArray rows = peer.ask(cmd("listRecords")).value(QStringLiteral("records")).toArray();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).toObject(), RecordCsv::listObject(kept.toJson()));
        const QJsonObject marked = rows.at(1).toObject();
        QCOMPARE(field(marked, "id") + ' ' + field(marked, "checkFailed"), changed.id + QStringLiteral(" true"));
        QCOMPARE(marked.value(QStringLiteral("differing")), got.value(QStringLiteral("differing")));
    }

    // The window's thread hands the reads to the reader's and goes on; the
    // answers follow, one for each request, also for requests of one shape.
    void recordsReadAway()
    {
        Lane lane;
        QVERIFY(lane.store({fixtures::record(QStringLiteral("京A12340"), 0)}));
        int listed = 0;
        QStringList found;
        for (int i = 0; i < 3; ++i)
            lane.bridge.listRecords({}, [&](const QJsonArray &records, const QString &error) { listed += error.isEmpty() ? records.size() : -100; });
        lane.bridge.record(QStringLiteral("nope"), [&](const QJsonObject &, const QStringList &, const QString &error) { found << error; });
        QCOMPARE(listed, 0);
        QTRY_COMPARE(listed, 3);
        QTRY_COMPARE(found, QStringList{QStringLiteral("no record nope")});
    }
};

OPA_TEST_CLASS(tst_ApiServer)
#include "server.moc"
