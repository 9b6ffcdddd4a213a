#include <QWebSocket>

#include "api/apibridge.h"
#include "api/apiconvert.h"
#include "benchsupport.h"
#include "config/recordsettings.h"
#include "lane/lanesession.h"
#include "support/testrunner.h"
#include "support/apirig.h"

using namespace bench;

namespace {

// WebSocket clients taking readings at 10/s.
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

// A client that asks for the newest 500 records again as soon as each
// answer comes, refused or not.
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

} // namespace

// The WebSocket API fed from the window's own polling, its clients on a
// thread of their own.
class ApiBench : public Case
{
    Q_OBJECT

private slots:
    void api();
    void apiRecordsLoop();
};

// The program's CPU (its main thread) with no client, with 16 clients
// taking readings at 10/s, and the poll period with a client that has
// stopped reading.
void ApiBench::api()
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

    OnOwnThread<ApiClients> clients;
    clients.run([&] { clients->open(ApiServer::MaxClients - 1, server.port()); });
    QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == ApiServer::MaxClients - 1; }, 10000));
    QTcpSocket stalled;
    QVERIFY(apirig::openStalled(stalled, server.port()));
    QVERIFY(QTest::qWaitFor([&] { return server.clients().size() == ApiServer::MaxClients; }, 5000));
    const int before = clients->received;
    measure("16 clients at 10/s, one of them stalled");
    std::printf("readings per client and second: %.1f\n", (clients->received - before) / 15.0 / 20.0);
    // Drive the stalled one into dropping, then measure again. Readings of
    // one moment reach only the clients without a rate, the stalled one.
    const qint64 now = rig.clock.elapsed();
    for (int i = 0; i < 5000 && server.clients().last().dropped == 0; ++i)
        server.publishReading({QDateTime::currentDateTime(), now, {1, 1}, {}});
    const auto last = server.clients().last();
    std::printf("stalled client: %lld bytes waiting, %lld readings dropped\n", last.backlog, last.dropped);
    measure("16 clients, the stalled one dropping readings");
}

// The poll period while a client asks the window's own API for the
// newest 500 of 20,000 records of full size again as soon as each answer
// comes (its commands beyond 20 a second refused): the reads go to the
// API's reader thread, so the polling should not see them.
void ApiBench::apiRecordsLoop()
{
    QVERIFY(storeRecords(settings::databaseFile()));
    fillHistory(settings::databaseFile(), fullRecord("京A00000", 0), 20000);
    PolledWindow rig;
    QVERIFY(rig.show());
    rig.w.startApi();
    auto *bridge = rig.w.findChild<ApiBridge *>();
    QVERIFY(bridge && bridge->server()->listening());
    rig.printPeriods(QStringLiteral("no API client"), 10000);

    OnOwnThread<RecordsLooper> looper;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(bridge->server()->port()).arg(settings::storedApiSettings().token));
    looper.run([&] { looper->open(url); });
    QVERIFY(QTest::qWaitFor([&] { return looper->answered > 0; }, 10000));
    const int answered = looper->answered, refused = looper->refused;
    const double cpu = rig.printPeriods(QStringLiteral("a client looping listRecords (%1 rows)").arg(int(looper->lastRows)));
    std::printf("listRecords in 20 s: %d answered, %d refused; the main thread used %.1f %% of a core\n",
                looper->answered - answered, looper->refused - refused, cpu);
    looper->stopping = 1;
}

OPA_TEST_CLASS(ApiBench)
#include "apibench.moc"
