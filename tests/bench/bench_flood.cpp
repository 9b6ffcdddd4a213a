#include <QtTest>

#include <QTcpSocket>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// A flood: 20,000 measurement replies reach the polling window in one read.
// Prints the longest gap between polling ticks (100 ms when nothing stalls)
// and how long the burst took to cut and decode; asserts nothing. Uses the
// fixed port and keys, so run it in a namespace of its own, with the debug
// log in a file as the program's would be:
//   unshare -n -i -- bash -c 'ip link set lo up; QT_QPA_PLATFORM=offscreen
//       build/bin/bench_flood 2>/tmp/flood.log'
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SocketClient::overrideLocalAddress([] { return QString(); });
    testsupport::ScopedWorkDir workDir;
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    testsupport::LoopbackServer meter;
    mainwindow w;
    MainWindowTestAccess a(w);
    a.setNoticeDelay(600000);
    w.show();
    if (!meter.listen() || !QTest::qWaitFor([&] { return a.pollTimer()->isActive(); }, 15000))
        return std::printf("no connection to the stand-in on 127.0.0.1:8899\n"), 1;

    QElapsedTimer clock;
    clock.start();
    QVector<qint64> ticks;
    int reads = 0, frames = 0;
    QObject::connect(a.pollTimer(), &QTimer::timeout, [&] { ticks.append(clock.elapsed()); });
    QObject::connect(a.client()->findChild<QTcpSocket *>(), &QTcpSocket::readyRead, [&] { ++reads; });
    QObject::connect(a.client(), &SocketClient::sendParsePack, [&] { ++frames; });
    QByteArray burst;
    for (int i = 0; i < 20000; ++i)
        burst += testsupport::measurementReply(qint16(i), 100, 300, 25, 30, 2048);
    // The first burst only grows the receive window, so the second fits in one read.
    for (const char *round : {"warm-up", "measured"}) {
        QTest::qWait(350);
        const int tickBefore = ticks.size() - 1;
        const qint64 sentAt = clock.elapsed();
        reads = frames = 0;
        meter.send(burst);
        while (meter.lastClient()->bytesToWrite() > 0)
            meter.lastClient()->waitForBytesWritten(5000);
        if (!QTest::qWaitFor([&] { return frames == 20000; }, 60000))
            return std::printf("%s: only %d frames arrived\n", round, frames), 1;
        const qint64 burstMs = clock.elapsed() - sentAt;
        QTest::qWait(450);
        qint64 longest = 0;
        for (int i = qMax(tickBefore, 0) + 1; i < ticks.size(); ++i)
            longest = qMax(longest, ticks.at(i) - ticks.at(i - 1));
        std::printf("%s: %d frames in %d read(s), handled in %lld ms (to 10 ms); longest gap "
                    "between polls %lld ms\n", round, frames, reads, burstMs, longest);
    }
    return 0;
}
