#include <QtTest>

#include "support/testrunner.h"

#include "net/linkkeeper.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"

using discoverytest::loopback;
using State = LinkKeeper::State;

// The parallel sweep's choice, the sweep schedule, and the cycle that looks
// for the server before any link and after a lost one, on 127.0.0.x.
class tst_Reconnect : public QObject
{
    Q_OBJECT

    // A sweep's hit is connected to, as the window does.
    struct Rig {
        SocketClient client;
        LinkKeeper keeper{&client};
        QTimer polls;
        int sweepsEnded = 0;  // counted on this thread: the sweep ends on the pool's
        Rig()
        {
            QObject::connect(&client, &SocketClient::beforeConnect, &client, &SocketClient::connectToServer);
            QObject::connect(&client, &SocketClient::sweepEnded, &keeper, [this] { ++sweepsEnded; });
        }
        // Linked to 'host', and polled every 100 ms as the window does.
        explicit Rig(int host) : Rig()
        {
            QObject::connect(&polls, &QTimer::timeout, &keeper, &LinkKeeper::onPolled);
            polls.start(100);
            client.connectToServer(loopback(host));
        }
        // No link yet and the first discovery step found nothing; ticked by the test.
        explicit Rig(const QString &stored) : Rig()
        {
            keeper.setManualTicks(true);
            keeper.startLooking(stored);
        }
        bool reaches(State s) { return QTest::qWaitFor([&] { return keeper.state() == s; }, 5000); }
        void tick(int times) { while (times-- > 0) keeper.onTick(); }
        bool sweepsDone(int n) { return QTest::qWaitFor([&] { return sweepsEnded >= n && !client.isSweeping(); }, 5000); }
    };

private slots:
    void sweepSchedule_data()
    {
        QTest::addColumn<QString>("events");  // "TICK:EVENT ...", right after that tick
        QTest::addColumn<int>("sweepTicks");  // how long each sweep takes
        QTest::addColumn<QList<int>>("sweeps");  // the ticks at which sweeps start, up to 200

        // s: the first discovery step sweeps; l: the link is lost; c: a connection.
        QTest::newRow("before any link") << "0:s" << 1 << QList<int>{0, 5, 15, 35, 95, 155};
        QTest::newRow("after a lost link") << "0:l" << 1 << QList<int>{5, 15, 35, 95, 155};
        QTest::newRow("a connection resets the backoff")
            << "0:s 100:c 110:l" << 1 << QList<int>{0, 5, 15, 35, 95, 115, 125, 145};
        QTest::newRow("pauses count from a slow sweep's end")
            << "0:s" << 3 << QList<int>{0, 7, 19, 41, 103, 165};
    }

    // The schedule as the keeper drives it: ticks only while looking, a sweep's
    // end heard only while looking.
    void sweepSchedule()
    {
        QFETCH(QString, events); QFETCH(int, sweepTicks); QFETCH(QList<int>, sweeps);
        QMap<int, QChar> at;
        for (const QString &event : events.split(QLatin1Char(' ')))
            at[event.section(QLatin1Char(':'), 0, 0).toInt()] = event.section(QLatin1Char(':'), 1).at(0);

        SweepSchedule schedule;
        bool looking = false;
        int sweepEndsAt = -1;
        QList<int> started;
        const auto sweep = [&](int tick) {
            started << tick;
            sweepEndsAt = tick + sweepTicks;
        };
        for (int tick = 0; tick <= 200; ++tick) {
            if (tick == sweepEndsAt && looking)
                schedule.startPause();
            const bool sweeping = tick < sweepEndsAt;
            if (looking && schedule.tick(sweeping))
                sweep(tick);
            switch (at.value(tick, QLatin1Char('-')).toLatin1()) {
            case 's':
                looking = true;
                sweep(tick);
                break;
            case 'l':
                looking = true;
                schedule.startPause();
                break;
            case 'c':
                looking = false;
                schedule.reset();
                break;
            }
        }
        QCOMPARE(started, sweeps);
    }

    void init() { SocketClient::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
        SocketClient::overrideProbeWait(0);
    }

    // Host 3 drops the first handshake and takes the retry about a second
    // later; host 5 accepts at once, yet 3 is waited for and wins.
    void slowLowerHostBeatsQuickHigherOne()
    {
        SocketClient::overrideProbeWait(3000);
        discoverytest::SilentHost slow;
        testsupport::LoopbackServer quick;
        QVERIFY(slow.open(loopback(3)) && quick.listen(loopback(5)));
        SocketClient client;
        // Heard on this thread: the sweep announces from the pool's.
        QStringList heard;
        connect(&client, &SocketClient::beforeConnect, this, [&](const QString &ip) { heard << ip; });
        client.findServer();
        QVERIFY(quick.waitForClients(1) && slow.releaseFiller());
        QVERIFY(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 5000));
        QCOMPARE(heard, QStringList{loopback(3)});
    }

    // One that takes every connection and drops it at once must not turn
    // the retrying into a busy loop.
    void attemptsStayAtOneASecond()
    {
        testsupport::LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        connect(&server.server(), &QTcpServer::newConnection, this,
                [&] { server.lastClient()->abort(); });
        Rig rig(1);
        QVERIFY(!QTest::qWaitFor([&] { return server.clientCount() > 5; }, 3500));
        QVERIFY(server.clientCount() >= 2);
    }

    // A server that stops answering is left after 3 s and connected again;
    // one gone is tried five times, then a sweep finds its new home.
    void silentServerRetriedGoneOneSweptFor()
    {
        auto server = std::make_unique<testsupport::LoopbackServer>();
        QVERIFY(server->listen(loopback(1)));
        Rig rig(1);
        QVERIFY(rig.reaches(State::Connected) && rig.reaches(State::Retrying));
        QVERIFY(rig.keeper.valuesStale());
        QVERIFY(server->waitForClients(2) && rig.reaches(State::Connected));
        server = std::make_unique<testsupport::LoopbackServer>();
        QVERIFY(server->listen(loopback(42)));
        QVERIFY(QTest::qWaitFor([&] { return rig.keeper.address() == loopback(42); }, 10000));
    }

    // A show event while the cycle sweeps waits for that sweep; one in a
    // pause of the cycle sweeps at once.
    void showEventsDuringCycle()
    {
        Rig rig{QString()};
        QVERIFY(rig.sweepsDone(1));
        rig.tick(SweepSchedule::PauseTicks[0]);
        QVERIFY(rig.client.isSweeping());
        rig.keeper.startLooking(QString());
        QVERIFY(rig.sweepsDone(2) && QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::sendPostedEvents();  // a second sweep's end would be queued by now
        QCOMPARE(rig.sweepsEnded, 2);

        rig.tick(2);
        QVERIFY(!rig.client.isSweeping());
        rig.keeper.startLooking(QString());
        QVERIFY(rig.client.isSweeping() && rig.sweepsDone(3));
        QCOMPARE(rig.keeper.state(), State::Looking);
    }
};

OPA_TEST_CLASS(tst_Reconnect)
#include "reconnect.moc"
