#include "benchsupport.h"

#include <QNetworkInterface>
#include <QSqlError>

#include <ctime>

#include "net/serversweep.h"
#include "records/recordstore.h"

namespace bench {

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

double microsPer(int count, const std::function<void(int)> &work)
{
    return timedMs(1, [&](int) { for (int i = 0; i < count; ++i) work(i); }).first() * 1000 / count;
}

void printSpread(const QString &what, QVector<double> ms, const char *unit)
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

void sweepFromLoopback()
{
    ServerSweep::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
}

TestRecord fullRecord(const QString &plate, int minutesLater)
{
    return fixtures::record(plate, minutesLater, {1.5, 1.3, 1.22, 1.2, 1.25}, 60);
}

bool storeRecords(const QString &path, int count, const std::function<QString(int)> &plate)
{
    RecordStore store;
    if (!store.open(path))
        return false;
    for (int i = 0; i < count; ++i)
        if (!store.store(fixtures::record(plate(i), i)))
            return false;
    return true;
}

void fillHistory(const QString &path, const TestRecord &sample, int count)
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

PolledWindow::PolledWindow()
{
    sweepFromLoopback();
    meter.reply = [](const QByteArray &) { return Reply; };
    clock.start();
    QObject::connect(a.pollTimer(), &QTimer::timeout, &w,
                     [this] { periods << double(clock.elapsed() - std::exchange(lastPoll, clock.elapsed())); });
}

double PolledWindow::printPeriods(const QString &how, int ms)
{
    periods.clear();
    const double cpu = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(ms);
    printSpread(QStringLiteral("poll period, %1").arg(how), periods);
    return 100.0 * (threadCpuMs() - cpu) / wall.elapsed();
}

void Case::initTestCase()
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

} // namespace bench
