#ifndef TESTS_SUPPORT_RECORDFIXTURES_H
#define TESTS_SUPPORT_RECORDFIXTURES_H

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <cmath>

#include "records/recordbuilder.h"

namespace fixtures {

// An R24 series on the series clock from 10 s: idle 0.2, a snap every 6 s
// peaking at 'peaks', readings every 100 ms (K missing at one reading).
inline FinishedSeries series(const QVector<double> &peaks, TestRecord::Outcome outcome, qint64 traceSeconds = 0)
{
    FinishedSeries s;
    s.method = FreeAccelMethod::r24();
    s.ending = outcome;
    s.startedMs = 10000;
    s.started = QDateTime(QDate(2026, 12, 7), QTime(10, 15, 30, 123));
    for (int i = 0; i < peaks.size(); ++i) {
        const qint64 start = s.startedMs + 2000 + i * 6000;
        s.snaps << Snap{start, start + 800, peaks.at(i), 20 + 10 * peaks.at(i), false};
    }
    s.ended = s.started.addMSecs(qMax<qint64>(traceSeconds * 1000, 2000 + peaks.size() * 6000));
    for (qint64 ms = s.startedMs - 500; ms <= s.endedMs() + 500; ms += 100) {
        double k = 0.2;
        for (const Snap &snap : s.snaps)
            if (ms >= snap.startMs && ms < snap.startMs + 2000)
                k = qMax(k, snap.peakK - std::abs(double(ms - snap.peakMs)) / 1000.0);
        const bool hasK = ms != s.startedMs + 300;
        s.trace << FinishedSeries::TracePoint{ms - s.startedMs, 5 + 10 * k, hasK, hasK ? k : 0};
    }
    double sum = 0;
    for (int i = qMax(0, peaks.size() - s.method.counted); i < peaks.size(); ++i) {
        s.countedIndexes << i;
        sum += peaks.at(i);
    }
    s.result = s.countedIndexes.isEmpty() ? 0 : std::round(sum / s.countedIndexes.size() * 100) / 100;
    return s;
}

inline Vehicle vehicle(const QString &plate = QStringLiteral("京A12345"))
{
    Vehicle v;
    v.plate = plate;
    v.vin = QStringLiteral("1M8GDM9AXKP042788");
    v.category = QStringLiteral("N2");
    v.intake = Vehicle::Intake::Turbo;
    v.firstRegistration = QDate(2006, 3, 14);
    v.odometerKm = 182340;
    return v;
}

// A sealed record; 'minutesLater' moves its times on.
inline TestRecord record(const QString &plate = QStringLiteral("京A12345"), int minutesLater = 0,
                         const QVector<double> &peaks = {1.50, 1.30, 1.22, 1.20, 1.25}, qint64 traceSeconds = 0)
{
    FinishedSeries s = series(peaks, TestRecord::Outcome::Valid, traceSeconds);
    s.started = s.started.addSecs(minutesLater * 60);
    s.ended = s.ended.addSecs(minutesLater * 60);
    s.subject = {vehicle(plate), QStringLiteral("王工"), {LimitSource::PlateValue, 1.20}};
    // Station, lane, software, meter, its last calibration.
    return buildRecord(s, {QStringLiteral("顺义机动车检测站"), QStringLiteral("2号线"), QStringLiteral("1.0"),
                           QStringLiteral("192.168.1.50"), QDateTime(QDate(2026, 12, 7), QTime(8, 2, 11))});
}

// The schema as the program's first database version made it.
inline void makeVersionOne(QSqlDatabase &db)
{
    QSqlQuery q(db);
    for (const char *statement :
         {"CREATE TABLE records (id TEXT PRIMARY KEY, started TEXT NOT NULL, ended TEXT, plate TEXT, vin TEXT, verdict TEXT, "
          "operator TEXT, station TEXT, lane TEXT, method TEXT, outcome TEXT, mean_k REAL, limit_k REAL, hash TEXT NOT NULL, json TEXT NOT NULL)",
          "CREATE INDEX records_plate ON records (plate)", "CREATE INDEX records_vin ON records (vin)",
          "CREATE INDEX records_started ON records (started)",
          "CREATE TABLE meter_events (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, at TEXT NOT NULL, "
          "meter_address TEXT)", "PRAGMA user_version=1"})
        q.exec(QLatin1String(statement));
}

// A second connection to 'path', as another program would hold it.
class OtherConnection
{
public:
    explicit OtherConnection(const QString &path) : name(QUuid::createUuid().toString())
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    bool exec(const QString &sql) { QSqlQuery q(db); return q.exec(sql); }
    QVariant value(const QString &sql)
    {
        QSqlQuery q(db);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    // Holds the file the way a program with an exclusive lock does.
    bool lockExclusively() { return exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")) && hold("EXCLUSIVE"); }
    // Holds the write lock, as a program in the middle of a long write does.
    bool holdWriteLock() { return hold("IMMEDIATE"); }
    void release() { exec(QStringLiteral("ROLLBACK")); db.close(); }
    QSqlDatabase db;

private:
    bool hold(const char *how)
    {
        return exec(QStringLiteral("BEGIN ") + QLatin1String(how)) && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS holder (x)"));
    }
    QString name;
};

#ifdef OPA_RECORDS_BINARY
struct ToolRun {
    int status = -1;
    QString out, err;
};

// opacimeter-records as a process, with 'env' changed ("NAME=value", or "NAME" to unset).
inline ToolRun runTool(const QStringList &arguments, const QStringList &env = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &e : env)
        e.contains('=') ? environment.insert(e.section('=', 0, 0), e.section('=', 1)) : environment.remove(e);
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return ToolRun();
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}
#endif

} // namespace fixtures

#endif
