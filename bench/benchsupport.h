#ifndef BENCH_BENCHSUPPORT_H
#define BENCH_BENCHSUPPORT_H

// What the benchmark classes share: timing and printing, the window polling
// a meter stand-in, a history of full-size records, and the class they all
// derive from.

#include <QtTest>

#include <functional>

#include "support/recordfixtures.h"
#include "support/windowaccess.h"
#include "support/testsupport.h"

namespace bench {

// Each of 'count' runs of 'work' on its own, in ms.
QVector<double> timedMs(int count, const std::function<void(int)> &work);
// All 'count' runs of 'work' at once, in µs per run.
double microsPer(int count, const std::function<void(int)> &work);
void printSpread(const QString &what, QVector<double> ms, const char *unit = "ms");
double threadCpuMs();

extern const QByteArray Reply;

// The program's sweeps kept on loopback, where no probe leaves the machine.
void sweepFromLoopback();

// A record with a 60-s trace, as a lane stores one.
TestRecord fullRecord(const QString &plate, int minutesLater);

// A record store at 'path' (made if missing) with 'count' more records, the
// i-th of them for the vehicle 'plate(i)'; false at the first one refused.
bool storeRecords(const QString &path, int count = 0, const std::function<QString(int)> &plate = {});

// 'count' records of full size for up to 20,000 vehicles, one every 4
// minutes, laid down in one transaction.
void fillHistory(const QString &path, const TestRecord &sample, int count = 100000);

// The window polling a stand-in meter on 127.0.0.1:8899 that answers each
// poll with 'Reply', its sweeps kept on loopback, and the gaps between its
// polls from the clock's start on.
struct PolledWindow
{
    testsupport::LoopbackServer meter;
    bool listening = meter.listen();
    mainwindow w;
    MainWindowTestAccess a{w};
    QElapsedTimer clock;
    QVector<double> periods;
    qint64 lastPoll = 0;

    PolledWindow();
    bool show() { return listening && showConnected(w, meter); }
    // The poll periods of the next 'ms', and the share of a core the
    // program's main thread used meanwhile.
    double printPeriods(const QString &how, int ms = 20000);
};

// 'T' on a thread of its own, so that its cost does not count as the
// program's; the thread is ended however the benchmark leaves.
template <typename T>
class OnOwnThread
{
public:
    OnOwnThread()
    {
        qRegisterMetaType<QAbstractSocket::SocketState>();  // its sockets signal across threads
        object.moveToThread(&thread);
        thread.start();
    }
    ~OnOwnThread()
    {
        thread.quit();
        thread.wait();
    }
    template <typename F>
    void run(F f) { QMetaObject::invokeMethod(&object, f); }
    T *operator->() { return &object; }

private:
    QThread thread;
    T object;
};

// Figures, never assertions. Each class runs in a fresh working folder and
// uses the fixed port and segment keys, and some make network devices, so
// run them as root in a fresh namespace: unshare -n -i (see the README).
class Case : public QObject
{
    Q_OBJECT

protected:
    testsupport::ScopedWorkDir workDir;

private slots:
    void initTestCase();
};

} // namespace bench

#endif
