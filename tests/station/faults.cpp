#include <QtTest>

#include <QLocalServer>
#include <QSemaphore>
#include <QSqlDatabase>

#include <memory>
#include <sys/stat.h>

#include "config/stationsettings.h"
#include "station/forwarder.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "stationrig.h"

// What goes wrong between a lane and the station's server, and the rules
// that keep a lane safe: every fault leaves the records queued with a
// clear reason; one lane's migration while others start; the password
// file rule, the retry pauses and the settings' keys.
class tst_StationFaults : public QObject
{
    Q_OBJECT
    QTemporaryDir files;
    std::unique_ptr<testsupport::PgServer> pg;
    int serial = 0;

    enum Fault { WrongPassword, BadSslMode };

    QString writeFile(const QByteArray &content, mode_t mode)
    {
        const QString path = files.filePath(QStringLiteral("file%1").arg(++serial));
        return testsupport::writeFile(path, content) && ::chmod(QFile::encodeName(path).constData(), mode) == 0 ? path : QString();
    }
    QString freshDatabase(const QString &owner = QStringLiteral("lane"))
    {
        const QString name = QStringLiteral("faults%1").arg(++serial);
        return pg->createDatabase(name, owner) ? name : QString();
    }
    void needServer()
    {
        if (!pg) {
            OPA_START_PGSERVER(pg);
            QVERIFY(pg->exec(QStringLiteral("CREATE ROLE keeper LOGIN PASSWORD 'right'")));
        }
    }

private slots:
    // faults
    void faultKeepsRecordsQueued_data();
    void faultKeepsRecordsQueued();
    void neverAnsweringServerLeavesTheLoopFree();
    // several lanes starting
    void migrationRunsOnce();
    // rules
    void passwordFileRule_data();
    void passwordFileRule();
};

void tst_StationFaults::faultKeepsRecordsQueued_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << int(WrongPassword) << "password authentication failed for user \"keeper\"";
    QTest::newRow("unknown SslMode") << int(BadSslMode) << "SslMode: unknown value 'sometimes'";
}

// The fault gives its reason and leaves every record queued and nothing on
// the server; once it is mended the same records go out, each once. An
// unknown database is tst_StationSetAside's (a server set anew), a full disk
// one of its refusals of the moment.
void tst_StationFaults::faultKeepsRecordsQueued()
{
    QFETCH(int, fault); QFETCH(QString, reason);
    needServer();
    const QString db = freshDatabase(QStringLiteral("keeper"));
    settings::StationServer good = pg->settings(db, QStringLiteral("keeper"));
    good.passwordFile = writeFile("right\n", 0600);
    QString error;
    QVERIFY2(migrate(good, &error) == 3, qPrintable(error));
    Lane lane(files.filePath(QStringLiteral("lane%1.sqlite").arg(++serial)));
    QVERIFY(lane.addMany(QStringLiteral("津A0000%1"), 3));

    settings::StationServer bad = good;
    switch (fault) {
    case WrongPassword: bad.passwordFile = writeFile("wrong", 0600); break;
    case BadSslMode: bad.sslMode = QStringLiteral("sometimes"); break;
    }
    const station::ServerTimeouts timeouts{2, 10000};
    station::SyncResult result = station::syncOnce(lane.path(), bad, timeouts);
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QCOMPARE((QPair<int, int>(result.sent, result.remaining)), (QPair<int, int>(0, 3)));
    QCOMPARE(lane.lastError(lane.queuedIds().first()), result.error);
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM records"), db).toInt(), 0);

    result = station::syncOnce(lane.path(), good, timeouts);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE((QPair<int, int>(result.sent, result.remaining)), (QPair<int, int>(3, 0)));
    QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM records"), db).toInt(), 3);
}

// A server that takes the connection and never answers holds the
// forwarder's thread until the connect time-out, never this one; the
// record stays queued with the reason.
void tst_StationFaults::neverAnsweringServerLeavesTheLoopFree()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("Qt's PostgreSQL driver is missing (Debian package libqt5sql5-psql)");
    QTemporaryDir silentDir;
    QLocalServer silent;
    QVERIFY(silent.listen(silentDir.filePath(QStringLiteral(".s.PGSQL.5432"))));
    Lane lane(files.filePath(QStringLiteral("silent.sqlite")));
    QVERIFY(lane.add(laneRecord(QStringLiteral("冀A00001"))));
    settings::StationServer server;
    server.host = silentDir.path();

    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
    tick.start(20);
    station::Forwarder forwarder(quickOptions(lane.path(), server, 60000));
    StateLog log(&forwarder);
    forwarder.start();
    forwarder.tryNow();
    QVERIFY(QTest::qWaitFor([&] { return ticks >= 10 && log.state == QLatin1String("pending"); }, 1500));
    QVERIFY(log.waitFor(QStringLiteral("failed")));
    QVERIFY2(log.reason.contains(QLatin1String("timeout expired")), qPrintable(log.reason));
    QCOMPARE(lane.pending(), 1);
}

// Lanes that start together each run the migration; the schema is made
// once and none of them fails.
void tst_StationFaults::migrationRunsOnce()
{
    needServer();
    const settings::StationServer server = pg->settings(freshDatabase());
    constexpr int starters = 6;
    QSemaphore opened, gate;
    QVector<int> ran(starters, -2);
    QVector<QString> errors(starters);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < starters; ++i) {
        threads.emplace_back(QThread::create([&, i] {
            const QString name = QStringLiteral("starter-%1").arg(i);
            const bool ok = station::openServer(server, name, {}, &errors[i]);
            opened.release();
            gate.acquire();  // all at once
            if (ok)
                ran[i] = station::migrateServer(QSqlDatabase::database(name, false), &errors[i]);
            QSqlDatabase::removeDatabase(name);
        }));
        threads.back()->start();
    }
    opened.acquire(starters);
    gate.release(starters);
    for (auto &thread : threads)
        QVERIFY(thread->wait(20000));
    for (int i = 0; i < starters; ++i)
        QVERIFY2(ran.at(i) >= 0, qPrintable(errors.at(i)));
    QCOMPARE(std::accumulate(ran.begin(), ran.end(), 0), 3);
    QString error;
    QCOMPARE(migrate(server, &error), 0);
}

void tst_StationFaults::passwordFileRule_data()
{
    QTest::addColumn<int>("mode");          // 0: no file
    QTest::addColumn<QString>("expected");  // the password, or a part of the refusal
    const QString open = QStringLiteral("may be read by others than its owner");
    QTest::newRow("owner reads and writes") << 0600 << "s3cret";
    QTest::newRow("group may read") << 0640 << open;
    QTest::newRow("missing") << 0 << "does not exist";
}

// Only a file no one but its owner may touch gives its first line, without
// the line break.
void tst_StationFaults::passwordFileRule()
{
    QFETCH(int, mode); QFETCH(QString, expected);
    const QString path = mode ? writeFile("s3cret\r\nsecond line\n", mode_t(mode)) : files.filePath(QStringLiteral("none"));
    QString password, error;
    const bool ok = settings::readPasswordFile(path, &password, &error);
    QCOMPARE(ok ? password : QString(), ok ? expected : QString());
    QVERIFY2(ok || error.contains(expected), qPrintable(error));
}

OPA_TEST_CLASS(tst_StationFaults)

#include "faults.moc"
