#include <QtTest>

#include <memory>

#include "records/recordstore.h"
#include "station/forwarder.h"
#include "support/pgserver.h"
#include "support/testrunner.h"
#include "support/testsupport.h"
#include "stationrig.h"

// The lane's database found damaged and moved aside while records of it
// wait: the forwarder goes on with the new file and still sends the old
// one's; a journal that cannot go with the file keeps both where they are.
class tst_StationMovedAside : public QObject
{
    Q_OBJECT
    QTemporaryDir lanes;
    std::unique_ptr<testsupport::PgServer> pg;

    // Damages the index of plates, so the next record stored finds the file
    // corrupt while its queue can still be read.
    static bool damagePlateIndex(const QString &path)
    {
        int page = 0, pageSize = 0;
        {
            fixtures::OtherConnection other(path);
            page = other.value(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'records_plate'")).toInt();
            pageSize = other.value(QStringLiteral("PRAGMA page_size")).toInt();
            if (!other.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
                return false;
        }
        QFile file(path);
        return page > 1 && file.open(QIODevice::ReadWrite) && file.seek(qint64(page - 1) * pageSize)
               && file.write(QByteArray(pageSize, '\xff')) == pageSize;
    }

private slots:
    void initTestCase() { OPA_START_PGSERVER(pg); }
    void cleanup()
    {
        if (pg && !pg->isRunning())
            QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    }
    void waitingRecordsOfTheOldFileArrive();
    void journalThatCannotMoveKeepsTheFile();
};

void tst_StationMovedAside::waitingRecordsOfTheOldFileArrive()
{
    QVERIFY(pg->createDatabase(QStringLiteral("moved")));
    const QString path = lanes.filePath(QStringLiteral("moved.sqlite"));
    {
        Lane lane(path);
        QVERIFY(lane.addMany(QStringLiteral("晋A0000%1"), 3));
    }
    QVERIFY2(pg->stop(), qPrintable(pg->errorString()));
    station::Forwarder forwarder(quickOptions(path, pg->settings(QStringLiteral("moved"))));
    StateLog log(&forwarder);
    forwarder.start();
    QVERIFY(log.waitFor(QStringLiteral("failed")));

    QVERIFY(damagePlateIndex(path));
    RecordStore reader;  // as the API's
    QVERIFY(reader.open(path, RecordStore::Mode::ReadOnly) && reader.isAtPath());
    RecordStore store;
    QVERIFY(store.open(path));
    QVERIFY2(store.store(laneRecord(QStringLiteral("晋B00001"), 10)), qPrintable(store.errorString()));
    QVERIFY(!store.movedAside().isEmpty());
    QCOMPARE(station::movedAsideFiles(path), QStringList{store.movedAside()});
    QVERIFY(!reader.isAtPath() && store.isAtPath());

    QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    forwarder.tryNow();
    const auto onServer = [&] { return pg->scalar(QStringLiteral("SELECT string_agg(plate, ',' ORDER BY plate) FROM records"), QStringLiteral("moved")).toString(); };
    QVERIFY2(QTest::qWaitFor([&] { return onServer() == QStringLiteral("晋A00000,晋A00001,晋A00002,晋B00001"); }, 10000), qPrintable(onServer()));
    QVERIFY2(log.waitFor(QStringLiteral("synced")), qPrintable(log.reason));

    QVERIFY(store.store(laneRecord(QStringLiteral("晋B00002"), 11)));
    forwarder.tryNow();
    QVERIFY2(QTest::qWaitFor([&] { return onServer().endsWith(QStringLiteral("晋B00002")); }, 10000), qPrintable(onServer()));
}

// A stale journal under the name the damaged file's would take: nothing
// moves, the store says why, and the lane's file and journal stay.
void tst_StationMovedAside::journalThatCannotMoveKeepsTheFile()
{
    const QString path = lanes.filePath(QStringLiteral("stuck.sqlite"));
    RecordStore store;
    QVERIFY(store.open(path) && store.store(laneRecord(QStringLiteral("晋C00001"))));
    store.close();
    QVERIFY(damagePlateIndex(path));
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 5; ++s)
        QVERIFY(testsupport::writeFile(path + QStringLiteral(".corrupt-%1-wal").arg(now.addSecs(s).toString(QStringLiteral("yyyyMMdd-hhmmss"))), {}));
    QVERIFY(store.open(path));
    fixtures::OtherConnection reader(path);
    QVERIFY(reader.exec(QStringLiteral("BEGIN")) && reader.value(QStringLiteral("SELECT count(*) FROM records")).toInt() == 1);
    QVERIFY(!store.store(laneRecord(QStringLiteral("晋C00002"), 1)));
    QVERIFY2(store.errorString().contains(QStringLiteral("无法移走，数据库未移动")), qPrintable(store.errorString()));
    QVERIFY(store.movedAside().isEmpty());
    QVERIFY(QFile::exists(path) && QFile::exists(path + QStringLiteral("-wal")));
    QCOMPARE(station::movedAsideFiles(path), QStringList());
}

OPA_TEST_CLASS(tst_StationMovedAside)

#include "movedaside.moc"
