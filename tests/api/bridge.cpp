#include <QtTest>

#include "api/apibridge.h"
#include "api/apimessages.h"
#include "config/settings.h"
#include "lane/lanesession.h"
#include "records/recordcsv.h"
#include "records/recordstore.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "tests/api/apirig.h"
#include "tests/records/recordfixtures.h"

using apirig::cmd;
using apirig::Peer;
using testsupport::measurementReply;

namespace {

QString field(const QJsonObject &m, const char *key)
{
    return m.value(QLatin1String(key)).toVariant().toString();
}

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
struct Lane {
    testsupport::ScopedWorkDir dir;
    LaneSession session;
    testsupport::ManualLaneClock clock;
    ApiBridge bridge{&session, QStringLiteral("records.sqlite")};

    Lane()
    {
        clock.drive(session);
        bridge.start(apirig::onLoopback());
    }
    void connectMeter() { emit session.linkChanged(LinkKeeper::State::Connected, QStringLiteral("127.0.0.1")); }
};

} // namespace

// The API against the real session: what a lane does reaches the clients in
// the API's terms, and the commands act on the session and the records.
class tst_ApiBridge : public QObject
{
    Q_OBJECT

private slots:
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
                     + ' ' + field(hello.value(QStringLiteral("series")).toObject(), "state"), QStringLiteral("connected 127.0.0.1 idle"));

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
        settings::storeFreeAccelMethod(inUse);
        QVector<qint64> settledAt;
        connect(&lane.session, &LaneSession::snapFound, [&] { settledAt << lane.session.lastReading().monotonicMs; });
        QSignalSpy started(&lane.session, &LaneSession::seriesStarted);
        Peer peer(*lane.bridge.server());
        QString said;
        const auto refused = [&](const QString &method, const char *error) {
            return (said = field(peer.ask(startCommand(method)), "error")).startsWith(QLatin1String(error));
        };
        QVERIFY2(refused({}, "refused: the meter is not connected"), qPrintable(said));
        lane.connectMeter();
        QVERIFY2(refused(QStringLiteral("R99"), "no method 'R99': one of R24, "), qPrintable(said));
        QVERIFY(peer.ask(startCommand()).value(QStringLiteral("ok")).toBool());
        QVERIFY2(refused({}, "refused: a series is running"), qPrintable(said));
        QCOMPARE(started.size(), 1);
        QVERIFY(lane.session.testRunning() && lane.session.subject().vehicle.intake == Vehicle::Intake::Turbo);
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
            {QStringLiteral("verdict"), QStringLiteral("fail")}}));
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
    // or the newest first as history lines, bounded by moments.
    void records()
    {
        Lane lane;
        Peer peer(*lane.bridge.server());
        QCOMPARE(peer.ask(cmd("listRecords")).value(QStringLiteral("records")), QJsonValue(QJsonArray()));
        QVector<TestRecord> stored;
        QStringList ids;
        {
            RecordStore writer;
            QVERIFY(writer.open(QStringLiteral("records.sqlite")));
            for (int i : {0, 1, 2}) {
                stored << fixtures::record(QStringLiteral("京A1234%1").arg(i), i * 10);
                ids << stored.last().id;
                QVERIFY(writer.store(stored.last()));
            }
        }
        QCOMPARE(peer.ask(cmd("getRecord", {{QStringLiteral("id"), ids.at(1)}})).value(QStringLiteral("record")).toObject(), stored.at(1).toJson());
        QCOMPARE(field(peer.ask(cmd("getRecord", {{QStringLiteral("id"), QStringLiteral("nope")}})), "error"), QStringLiteral("no record nope"));
        QCOMPARE(peer.ask(cmd("listRecords", {{QStringLiteral("limit"), 1}})).value(QStringLiteral("records")),
                 QJsonValue(QJsonArray{RecordCsv::listObject(stored.at(2).toJson())}));
        const auto order = [&](const char *key, const QString &value) {
            QString found;
            for (const QJsonValue &r : peer.ask(cmd("listRecords", {{QLatin1String(key), value}})).value(QStringLiteral("records")).toArray())
                found += QString::number(ids.indexOf(r.toObject().value(QStringLiteral("id")).toString()));
            return found;
        };
        const QString from = api::isoTime(stored.at(1).started);
        QCOMPARE(order("since", from) + ' ' + order("until", from) + ' ' + order("plate", QStringLiteral("京a12341")), QStringLiteral("21 10 1"));
        QCOMPARE(order("since", QStringLiteral("2000-01-01")), QStringLiteral("210"));
    }

    // A series that is not valid has no mean, whatever the session left in it.
    void finishedInvalid()
    {
        api::SeriesOutcome o;
        o.snaps = 10;
        o.meanK = 1.234;
        const QJsonObject m = api::seriesFinishedMessage(o);
        QVERIFY(m.value(QStringLiteral("mean_K")).isNull() && m.value(QStringLiteral("verdict")).isNull());
        QCOMPARE(m.value(QStringLiteral("valid")), QJsonValue(false));
    }

    // clearMaxima reaches the form's hook; without one it is refused.
    void clearMaxima()
    {
        Lane lane;
        Peer peer(*lane.bridge.server());
        const QJsonObject clear = cmd("clearMaxima", {{QStringLiteral("token"), apirig::Token}});
        QCOMPARE(field(peer.ask(clear), "error"), QStringLiteral("this program has no maxima to clear"));
        int cleared = 0;
        lane.bridge.setClearMaxima([&] { ++cleared; });
        QVERIFY(peer.ask(clear).value(QStringLiteral("ok")).toBool() && cleared == 1);
    }
};

OPA_TEST_CLASS(tst_ApiBridge)
#include "bridge.moc"
