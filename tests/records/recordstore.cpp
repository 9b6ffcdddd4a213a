#include <QtTest>

#include "support/testrunner.h"

#include "support/recordfixtures.h"
#include "records/recordstore.h"

Q_DECLARE_METATYPE(RecordFilter)

// The database: its schema and migrations, storing, the history's filters.
class tst_RecordStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); path = dir->filePath("results/opacimeter.sqlite"); }

    // Opening again finds the schema current; a newer one is never written to.
    void migrationFromEmpty()
    {
        RecordStore store;
        QVERIFY2(store.open(path), qPrintable(store.errorString()));
        QCOMPARE(store.schemaVersion(), RecordStore::SchemaVersion);
        fixtures::OtherConnection other(path);
        QCOMPARE(other.value("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        store.close();
        QVERIFY(store.open(path) && store.schemaVersion() == RecordStore::SchemaVersion);
        store.close();
        QVERIFY(other.exec("PRAGMA user_version=7"));
        QVERIFY(!store.open(path));
        QCOMPARE(store.fault(), RecordStore::Fault::NewerSchema);
        QVERIFY(store.errorString().contains(QStringLiteral("版本 7")));
        QVERIFY(!store.store(fixtures::record()));
    }

    // A database of the first version keeps its records, and every one of them
    // goes into the new queue, oldest first.
    void migrationFromVersionOne()
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const TestRecord later = fixtures::record(QStringLiteral("京B2"), 30);
        const TestRecord earlier = fixtures::record(QStringLiteral("京B1"), 0);
        {
            fixtures::OtherConnection old(path);
            fixtures::makeVersionOne(old.db);
            for (const TestRecord &r : {later, earlier}) {
                QVERIFY(old.exec(QStringLiteral("INSERT INTO records (id, started, plate, vin, hash, json) VALUES "
                                                "('%1', '%2', '%3', '%4', '%5', '%6')")
                                     .arg(r.id, RecordTime::text(r.started), r.vehicle.plate, r.vehicle.vin, r.hash,
                                          QString::fromUtf8(QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact)))));
            }
        }
        RecordStore store;
        QVERIFY2(store.open(path), qPrintable(store.errorString()));
        QCOMPARE(store.schemaVersion(), RecordStore::SchemaVersion);
        fixtures::OtherConnection other(path);
        QCOMPARE(other.value("SELECT group_concat(record_id) FROM (SELECT record_id FROM forward_queue "
                             "WHERE sent IS NULL AND julianday(queued) IS NOT NULL ORDER BY seq)").toString(), earlier.id + ',' + later.id);
        TestRecord back;
        QVERIFY(store.find(later.id, &back) && back.hash == later.hash);
        QVERIFY(store.store(fixtures::record(QStringLiteral("京B3"))));
    }

    void storedOnceQueuedAndNeverChanged()
    {
        RecordStore store;
        QVERIFY(store.open(path));
        const TestRecord r = fixtures::record();
        QVERIFY(store.store(r));
        // A retry of a record that did reach the file changes nothing.
        QVERIFY(store.store(r));
        TestRecord clash = fixtures::record(QStringLiteral("京C9"));
        clash.id = r.id;
        clash.seal();
        QVERIFY(!store.store(clash));
        QCOMPARE(store.fault(), RecordStore::Fault::Conflict);
        fixtures::OtherConnection other(path);
        QCOMPARE(other.value("SELECT count(*) FROM records").toInt(), 1);
        QCOMPARE(other.value("SELECT record_id FROM forward_queue WHERE sent IS NULL").toString(), r.id);
        TestRecord back;
        QVERIFY(store.find(r.id.toUpper(), &back));
        QCOMPARE(back.toJson(), r.toJson());
        QVERIFY(!store.find(QStringLiteral("00000000-0000-0000-0000-000000000000"), &back));
        QCOMPARE(store.fault(), RecordStore::Fault::None);
        // Records are never changed; the forwarder marks what it sent.
        QVERIFY(!other.exec("UPDATE records SET verdict = 'pass'"));
        QVERIFY(!other.exec("DELETE FROM records"));
        QCOMPARE(other.value("SELECT verdict FROM records").toString(), QStringLiteral("fail"));
        QVERIFY(other.exec("UPDATE forward_queue SET sent = '2026-12-07T11:00:00.000+08:00'"));
        // The latest calibration, not the latest meter event.
        const QDateTime calibrated(QDate(2026, 12, 7), QTime(9, 0));
        QVERIFY(store.addMeterEvent(RecordStore::MeterEvent::Calibration, calibrated, "192.168.1.50"));
        QVERIFY(store.addMeterEvent(RecordStore::MeterEvent::FactoryReset, calibrated.addSecs(60), "192.168.1.50"));
        QCOMPARE(store.lastCalibration(), calibrated);
    }

    void history_data()
    {
        QTest::addColumn<RecordFilter>("filter");
        QTest::addColumn<QStringList>("plates");
        const auto f = [](std::function<void(RecordFilter &)> set) { RecordFilter r; set(r); return r; };
        QTest::newRow("all, newest first") << RecordFilter() << QStringList{"沪D4", "", "京A12345", "京A123"};
        QTest::newRow("VIN text") << f([](RecordFilter &r) { r.vin = "LSVAM"; }) << QStringList{"沪D4"};
        QTest::newRow("percent sign is text") << f([](RecordFilter &r) { r.text = "%"; }) << QStringList{};
        QTest::newRow("no verdict") << f([](RecordFilter &r) { r.verdict = "none"; }) << QStringList{""};
        QTest::newRow("by result, two") << f([](RecordFilter &r) { r.sort = RecordFilter::Sort::Result; r.descending = false; r.limit = 2; })
                                        << QStringList{"京A123", "沪D4"};
    }
    void history()
    {
        QFETCH(RecordFilter, filter); QFETCH(QStringList, plates);
        RecordStore store;
        QVERIFY(store.open(path));
        TestRecord service = fixtures::record("", 24 * 60 + 5);
        service.vehicle = Vehicle();
        service.limit = LimitChoice();
        service.verdict.clear();
        service.seal();
        TestRecord c = fixtures::record("沪D4", 48 * 60, {1.1, 1.12, 1.1, 1.11});
        c.vehicle.vin = "LSVAM4187C2184847";
        c.seal();
        for (const TestRecord &r : {fixtures::record("京A123", 0, {1.0, 1.02, 1.01, 1.03}), fixtures::record("京A12345", 24 * 60), service, c})
            QVERIFY(store.store(r));
        QStringList found;
        for (const RecordSummary &row : store.query(filter))
            found << row.plate;
        QCOMPARE(store.fault(), RecordStore::Fault::None);
        QCOMPARE(found, plates);
    }

private:
    QScopedPointer<QTemporaryDir> dir;
    QString path;
};

OPA_TEST_CLASS(tst_RecordStore)
#include "recordstore.moc"
