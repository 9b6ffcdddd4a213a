#ifndef TESTS_TESTSUPPORT_H
#define TESTS_TESTSUPPORT_H

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "lane/lanesession.h"
#include "net/framecutter.h"
#include "meter/measurementframe.h"

class QMessageBox;

namespace testsupport {

// Runs the test inside a fresh, empty working folder so that "./set.ini"
// and friends never touch the developer's files; restores the old one.
class ScopedWorkDir
{
public:
    ScopedWorkDir() { QDir::setCurrent(dir.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QString previous = QDir::currentPath();
    QTemporaryDir dir;
};

// A stand-in for the meter server on a loopback address: accepts clients,
// keeps every byte they send, cuts it into command frames, and writes to the
// newest one.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackServer(QObject *parent = nullptr);
    bool listen(const QString &address = QStringLiteral("127.0.0.1")) { return tcp.listen(QHostAddress(address), 8899); }
    QTcpServer &server() { return tcp; }
    QTcpSocket *lastClient() const { return clients.isEmpty() ? nullptr : clients.last().data(); }
    bool waitForClients(int count, int timeoutMs = 5000) { return QTest::qWaitFor([&] { return clients.size() >= count; }, timeoutMs); }
    void send(const QByteArray &data);
    // The whole command frames received so far, in arrival order.
    QList<QByteArray> commands() const { return frames; }
    // The answer to each command frame as it arrives; by default none.
    std::function<QByteArray(const QByteArray &command)> reply;

private:
    void take(QTcpSocket *client);

    QTcpServer tcp;
    QList<QPointer<QTcpSocket>> clients;
    FrameCutter cutter{Frames::HostStart, Frames::LongestData, FrameCutter::Checksum::Unchecked};
    QList<QByteArray> frames;
};

// Records every message box the program opens and, while closing is on,
// accepts each 'closeAfterMs' after it opened, so no test hangs on a box.
class MessageBoxCloser : public QObject
{
    Q_OBJECT
public:
    struct Seen { QString title; QString text; qint64 openedAtMs; qint64 closedAtMs; };
    explicit MessageBoxCloser(int closeAfterMs = 0, QObject *parent = nullptr);
    const QList<Seen> &seen() const { return boxes; }
    int count() const { return boxes.size(); }
    void setClosing(bool on) { closing = on; }

private:
    void poll();
    QList<Seen> boxes;  // one for each entry of 'open'
    QList<QPointer<QMessageBox>> open;
    int closeAfterMs;
    bool closing = true;
    QTimer timer;
};

inline QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

// Writes 'bytes' as the whole of the file at 'path'; false if any is missing.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// A measurement reply as the meter sends it, with a correct checksum.
inline QByteArray measurementReply(qint16 n, qint16 ns, qint16 k, quint8 chamber, quint8 smoke, qint16 energy)
{
    return MeasurementFrame::encode({n, ns, k, chamber, smoke, energy});
}

// K as a free-acceleration series sees it with a reply every 100 ms: 1.2 s
// of idle at 0.10, then for each peak a rise over 0.5 s, 0.2 s at the peak,
// a fall over 0.8 s and 1.2 s of idle.
inline QVector<double> snapCurve(const QVector<double> &peaks)
{
    QVector<double> k(12, 0.10);
    for (double peak : peaks) {
        for (int i = 1; i <= 5; ++i)
            k << 0.10 + (peak - 0.10) * i / 5;
        k << peak << peak;
        for (int i = 1; i <= 8; ++i)
            k << peak + (0.10 - peak) * i / 8;
        k << QVector<double>(12, 0.10);
    }
    return k;
}

// A lane clock that moves only when the test moves it: monotonic 'ms', and
// the wall time as far past 'start'.
class ManualLaneClock
{
public:
    qint64 ms = 0;
    QDateTime start{QDate(2026, 5, 1), QTime(8, 30)};
    void drive(LaneSession &session) { session.setClock([this] { return LaneStamp{ms, start.addMSecs(ms)}; }); }
};

// A session on the test's clock, in a working folder of its own.
struct ClockedLane {
    ScopedWorkDir dir;
    LaneSession session;
    ManualLaneClock clock;
    ClockedLane() { clock.drive(session); }
    // 'seconds' of readings at the poll rate, N in %.
    void feed(double n, double seconds)
    {
        for (int i = 0; i < seconds * 10; ++i) {
            session.takeFrame(measurementReply(qint16(qRound(n * 100)), 0, 10, 20, 21, 100));
            clock.ms += 100;
        }
    }
};

} // namespace testsupport

#endif
