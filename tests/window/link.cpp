#include <QtTest>

#include "support/testrunner.h"

#include <atomic>
#include <thread>

#include "support/discoveryhelpers.h"
#include "support/meterrig.h"

using meterrig::MeterStandIn;

// The link to the meter as the operator sees it: stale values, the status in
// the header, the mending of a lost link, commands paced on the wire.
class tst_Link : public QObject
{
    Q_OBJECT

private slots:
    void init() { SocketClient::overrideLocalAddress([] { return discoverytest::loopback(7); }); }
    void cleanup()
    {
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
        SocketClient::overrideLocalAddress({});
        SocketClient::overrideProbeWait(0);
    }

    void staleValuesAndLostLink()
    {
        testsupport::ScopedWorkDir dir;
        MeterStandIn meter;
        bool answering = true;
        meter.reply = [&](const QByteArray &command) {
            return answering && command == Frames::readMeasurement()
                       ? meterrig::measurementReply(12.5) : QByteArray();
        };
        QVERIFY(meter.listen());
        mainwindow w;
        MainWindowTestAccess a(w);
        QVERIFY(meterrig::showConnected(w, meter));
        QLabel *status = a.ui().label_link;
        QTRY_COMPARE(status->text(), QStringLiteral("已连接 127.0.0.1"));
        QTRY_COMPARE(a.ui().label_Nst->text(), QStringLiteral("12.5"));
        QVERIFY(a.ui().label_Kmax->isEnabled());

        answering = false;
        QTRY_VERIFY(!a.ui().label_Kmax->isEnabled() && !a.ui().label_Nt->isEnabled());
        QCOMPARE(a.ui().label_Nst->text(), QStringLiteral("12.5"));
        answering = true;
        QTRY_VERIFY(a.ui().label_Kmax->isEnabled() && a.ui().label_Nt->isEnabled());

        // The meter's server drops the connection: the window says so, then
        // reconnects by itself and the values are live again.
        const int polls = meter.count(Frames::readMeasurement());
        a.client()->dropConnection();
        emit a.client()->connectionLost();
        QCOMPARE(status->text(), QStringLiteral("连接中断，正在重连"));
        QVERIFY(meter.waitFor(Frames::readMeasurement(), polls + 5, 5000));
        QTRY_COMPARE(status->text(), QStringLiteral("已连接 127.0.0.1"));
        QTRY_VERIFY(a.ui().label_Nt->isEnabled());
    }

    // The meter gets the factory reset's two calibration commands a second
    // apart, though the window blocks between them. The stand-in reads on a
    // thread of its own, so that pause cannot delay it.
    void resetCommandsLeaveApart()
    {
        std::atomic<bool> listening{false};
        QList<QPair<qint64, QByteArray>> reads;  // this thread reads them after join()
        std::thread meter([&] {
            QTcpServer server;
            listening = server.listen(QHostAddress::LocalHost, 8899);
            if (!listening || !server.waitForNewConnection(5000))
                return;
            QTcpSocket *s = server.nextPendingConnection();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 10000 && !reads.value(reads.size() - 1).second.contains(
                                                  Frames::calibrateStep2()))
                if (s->waitForReadyRead(20))
                    reads.append({clock.elapsed(), s->readAll()});
        });
        QVERIFY(QTest::qWaitFor([&] { return bool(listening); }, 5000));
        mainwindow w;
        MainWindowTestAccess a(w);
        a.client()->connectToServer(QStringLiteral("127.0.0.1"));
        QVERIFY(QTest::qWaitFor([&] { return a.serverConnected(); }, 5000));
        a.seraildata(Frames::factoryResetAccepted());
        meter.join();
        qint64 first = -1, second = -1;
        for (const auto &read : reads) {
            if (first < 0 && read.second.contains(Frames::calibrateStep1()))
                first = read.first;
            if (read.second.contains(Frames::calibrateStep2()))
                second = read.first;
        }
        QVERIFY(first >= 0 && second >= 0);
        QVERIFY2(second - first >= 900, qPrintable(QString::number(second - first)));
    }

    void windowClosedMidSweep()
    {
        testsupport::ScopedWorkDir dir;
        SocketClient::overrideProbeWait(10000);
        discoverytest::SilentHost everywhere;
        QVERIFY(everywhere.open(QStringLiteral("0.0.0.0")));
        auto w = std::make_unique<mainwindow>();
        MainWindowTestAccess(*w).startFind();
        QVERIFY(MainWindowTestAccess(*w).client()->isSweeping());
        w.reset();
        QVERIFY2(QThreadPool::globalInstance()->waitForDone(1000), "the sweep outlived its window");
    }
};

OPA_TEST_CLASS(tst_Link)
#include "link.moc"
