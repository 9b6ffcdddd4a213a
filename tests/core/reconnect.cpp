#include <QtTest>

#include "support/testrunner.h"

#include "config/settings.h"
#include "meter/frames.h"
#include "net/linkkeeper.h"
#include "net/serversweep.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"

using discoverytest::loopback;
using State = LinkKeeper::State;

// The sweep schedule, the discovery step and the sweep's choice, and the
// cycle that looks for the server before any link and after a lost one, on
// 127.0.0.x.
class tst_Reconnect : public QObject
{
    Q_OBJECT

    // A sweep's hit is connected to, as the window does.
    struct Rig {
        SocketClient client;
        ServerSweep sweep;
        LinkKeeper keeper{&client, &sweep};
        QTimer polls;
        int sweepsEnded = 0;  // counted on this thread: the sweep ends on the pool's
        Rig()
        {
            QObject::connect(&client, &SocketClient::beforeConnect, &client, &SocketClient::connectToServer);
            QObject::connect(&sweep, &ServerSweep::ended, &keeper, [this] { ++sweepsEnded; });
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
        bool sweepsDone(int n) { return QTest::qWaitFor([&] { return sweepsEnded >= n && !sweep.isSweeping(); }, 5000); }
    };

    // As the window runs it: a connection stored in set.ini and polled
    // every 100 ms; the cycle ticked by the test.
    struct Lane : Rig {
        Lane()
        {
            keeper.setManualTicks(true);
            QObject::connect(&client, &SocketClient::findEnableReady, &keeper, [this](const QString &ip) {
                settings::storeServerAddress(ip);
                polls.start(100);
            }, Qt::QueuedConnection);
            QObject::connect(&polls, &QTimer::timeout, &keeper, [this] {
                client.onSendToServer(Frames::readMeasurement());
                keeper.onPolled();
            });
        }
        // The discovery step of a show event; whether it swept.
        // Ticks 'times'; with an address known, each tick's attempt is
        // waited for, and must fail.
        bool ticksFail(int times)
        {
            while (times-- > 0) {
                QSignalSpy lost(&client, &SocketClient::connectionLost);
                tick(1);
                if (!keeper.address().isEmpty() && !lost.wait(5000))
                    return false;
            }
            return keeper.state() != State::Connected;
        }
        bool startFind()
        {
            const QString stored = settings::storedServerAddress();
            if (!stored.isEmpty() && client.tryConnectServer(stored))
                return false;
            keeper.startLooking(stored);
            return true;
        }
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

    void init() { ServerSweep::overrideLocalAddress([] { return loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        ServerSweep::overrideLocalAddress({});
        ServerSweep::overrideProbeWait(0);
    }

    void discovery_data()
    {
        QTest::addColumn<int>("stored");            // host number; 0: none
        QTest::addColumn<QList<int>>("answering");  // meters
        QTest::addColumn<bool>("accepting");        // host 1 accepts and never answers
        QTest::addColumn<int>("polled");            // 0: none
        QTest::addColumn<QList<int>>("elsewhere");  // named after "自动查找"

        using L = QList<int>;
        QTest::newRow("none, no meter") << 0 << L{} << false << 0 << L{};
        QTest::newRow("none, a host that only accepts") << 0 << L{} << true << 0 << L{};
        QTest::newRow("none, one meter") << 0 << L{2} << false << 2 << L{};
        QTest::newRow("none, one meter above a host that only accepts") << 0 << L{2} << true << 2 << L{};
        QTest::newRow("none, two meters") << 0 << L{2, 3} << false << 0 << L{2, 3};
        QTest::newRow("none, two meters and a host that only accepts") << 0 << L{2, 3} << true << 0 << L{2, 3};
        QTest::newRow("stored, no meter") << 2 << L{} << false << 0 << L{};
        QTest::newRow("stored, only another meter") << 2 << L{3} << true << 0 << L{3};
        QTest::newRow("stored answers") << 2 << L{2} << false << 2 << L{};
        QTest::newRow("stored answers, another too") << 2 << L{2, 3} << true << 2 << L{3};
        QTest::newRow("stored only accepts: kept") << 1 << L{} << true << 1 << L{};
        QTest::newRow("stored only accepts, another meter answers") << 1 << L{3} << true << 1 << L{3};
    }

    // The first discovery step, a sweep and a few ticks of the cycle: which
    // host is polled, and what set.ini holds afterwards. A host that only
    // accepts is no meter; a stored address is never replaced; several
    // meters without one stored are left to the operator.
    void discovery()
    {
        QFETCH(int, stored); QFETCH(QList<int>, answering); QFETCH(bool, accepting);
        QFETCH(int, polled); QFETCH(QList<int>, elsewhere);
        testsupport::ScopedWorkDir dir;
        if (stored)
            settings::storeServerAddress(loopback(stored));
        discoverytest::MeterHost hosts[4];
        for (int host : answering)
            QVERIFY(hosts[host].listen(loopback(host)));
        if (accepting)
            QVERIFY(hosts[1].listen(loopback(1), false));

        Lane lane;
        // A stored host is connected to at once only if it answers.
        const int swept = lane.startFind() ? 1 : 0;
        QCOMPARE(swept, stored && answering.contains(stored) ? 0 : 1);
        QVERIFY(lane.sweepsDone(swept));
        lane.keeper.startLooking(settings::storedServerAddress());  // "自动查找"
        QVERIFY(lane.sweepsDone(swept + 1));
        if (polled) {
            lane.tick(3);
            QVERIFY(hosts[polled].waitForPolls(5));
        } else {
            QVERIFY(lane.ticksFail(3));
        }
        for (int host = 1; host <= 3; ++host)
            QCOMPARE(hosts[host].polls() > 0, host == polled);
        const int kept = stored ? stored : polled;
        QCOMPARE(settings::storedServerAddress(), kept ? loopback(kept) : QString());
        QStringList named;
        for (int host : elsewhere)
            named << loopback(host);
        QCOMPARE(lane.keeper.elsewhere(), named);
    }

    // After a loss the cycle tries the stored meter alone: a sweep names
    // the other one, whose only command is the sweep's probe, and the
    // stored one is polled again as soon as it is back.
    void lossNeverMovesToAnotherMeter()
    {
        testsupport::ScopedWorkDir dir;
        settings::storeServerAddress(loopback(2));
        discoverytest::MeterHost ours, other;
        QVERIFY(ours.listen(loopback(2)) && other.listen(loopback(3)));
        Lane lane;
        QVERIFY(!lane.startFind() && ours.waitForPolls(3));
        ours.close();
        QVERIFY(lane.reaches(State::Retrying));
        QSignalSpy named(&lane.keeper, &LinkKeeper::metersElsewhere);
        lane.tick(SweepSchedule::PauseTicks[0]);
        QVERIFY(lane.sweepsDone(1) && named.count() == 1);
        QCOMPARE(named.last().at(0).toStringList(), QStringList{loopback(3)});
        QVERIFY(lane.ticksFail(3));
        QCOMPARE(other.commandsPerConnection(), QList<int>{1});
        QCOMPARE(lane.keeper.address(), loopback(2));
        QCOMPARE(settings::storedServerAddress(), loopback(2));

        discoverytest::MeterHost back;
        QVERIFY(back.listen(loopback(2)));
        lane.tick(1);
        QVERIFY(lane.reaches(State::Connected) && back.waitForPolls(3));
        QCOMPARE(other.polls(), 0);
    }

    // One that takes every connection and drops it at once must not turn
    // the retrying into a busy loop: one attempt a tick. A connection of the
    // test's own, accepted after any the client made before it, marks the
    // end of each tick's attempts.
    void attemptsStayAtOneATick()
    {
        testsupport::LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        QList<quint16> ports;  // of each connection, in the order accepted
        connect(&server.server(), &QTcpServer::newConnection, this,
                [&] { ports << server.lastClient()->peerPort(); server.lastClient()->abort(); });
        Rig rig(1);
        rig.keeper.setManualTicks(true);
        int losses = 0;
        connect(&rig.keeper, &LinkKeeper::stateChanged, this, [&](State s) { losses += s == State::Retrying; });
        QTcpSocket marker;
        for (int tick = 0; tick <= 3; ++tick) {
            rig.tick(tick ? 1 : 0);
            QVERIFY(QTest::qWaitFor([&] { return losses == tick + 1; }, 5000));
            marker.connectToHost(QHostAddress(loopback(1)), 8899);
            QVERIFY(marker.waitForConnected(5000) && server.waitForClients(2 * tick + 2));
            QCOMPARE(ports.size(), 2 * tick + 2);
            QCOMPARE(ports.last(), marker.localPort());
            marker.abort();
        }
    }

    // A server that stops answering is left after 3 s and connected again.
    void silentServerRetried()
    {
        testsupport::LoopbackServer server;
        QVERIFY(server.listen(loopback(1)));
        Rig rig(1);
        QVERIFY(rig.reaches(State::Connected) && rig.reaches(State::Retrying));
        QVERIFY(rig.keeper.valuesStale());
        QVERIFY(server.waitForClients(2) && rig.reaches(State::Connected));
    }

    // A show event while the cycle sweeps waits for that sweep; one in a
    // pause of the cycle sweeps at once.
    void showEventsDuringCycle()
    {
        Rig rig{QString()};
        QVERIFY(rig.sweepsDone(1));
        rig.tick(SweepSchedule::PauseTicks[0]);
        QVERIFY(rig.sweep.isSweeping());
        rig.keeper.startLooking(QString());
        QVERIFY(rig.sweepsDone(2) && QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::sendPostedEvents();  // a second sweep's end would be queued by now
        QCOMPARE(rig.sweepsEnded, 2);

        rig.tick(2);
        QVERIFY(!rig.sweep.isSweeping());
        rig.keeper.startLooking(QString());
        QVERIFY(rig.sweep.isSweeping() && rig.sweepsDone(3));
        QCOMPARE(rig.keeper.state(), State::Looking);
    }
};

OPA_TEST_CLASS(tst_Reconnect)
#include "reconnect.moc"
