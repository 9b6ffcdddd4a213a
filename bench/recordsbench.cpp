#include "app/historypage.h"
#include "benchsupport.h"
#include "lane/recordmaker.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"
#include "support/testrunner.h"

using namespace bench;

// Storing records and reading the history back, on their own and while the
// window polls.
class RecordsBench : public Case
{
    Q_OBJECT

private slots:
    void records();
    void pollWhileStoring();
};

// Storing a record with a 60-s trace, each in its own transaction as the
// program does; the history filtered by plate over 100,000 records of full
// size (20,000 vehicles, five tests each), laid down in one transaction.
void RecordsBench::records()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("opacimeter.sqlite");
    RecordStore store;
    QVERIFY(store.open(path));
    const TestRecord sample = fullRecord("京A00000", 0);
    const QByteArray json = QJsonDocument(sample.toJson()).toJson(QJsonDocument::Compact);
    std::printf("a record with a 60-s trace: %d bytes of JSON, %d readings\n", json.size(), sample.trace.tMs.size());
    QVector<TestRecord> fresh;
    for (int i = 0; i < 200; ++i)
        fresh << fullRecord(QStringLiteral("京B%1").arg(i), i);
    bool stored = true;
    const QVector<double> storing = timedMs(200, [&](int i) { stored = store.store(fresh.at(i)) && stored; });
    QVERIFY(stored);
    printSpread("storing a record with a 60-s trace", storing);

    fillHistory(path, sample);
    std::printf("database with %d records: %.0f MB\n", store.query(RecordFilter()).size(), QFileInfo(path).size() / 1e6);
    const auto timeFilter = [&](const QString &what, const std::function<void(RecordFilter &)> &set) {
        RecordFilter filter;
        set(filter);
        int rows = 0;
        const QVector<double> ms = timedMs(20, [&](int) { rows = store.query(filter).size(); });
        printSpread(QStringLiteral("%1 (%2 rows)").arg(what).arg(rows), ms);
    };
    timeFilter("history by plate text 'A12345'", [](RecordFilter &f) { f.plate = "A12345"; });
    timeFilter("history by plate text '京A1', newest 1000", [](RecordFilter &f) { f.plate = "京A1"; f.limit = 1000; });
    timeFilter("history by plate or VIN text '12345'", [](RecordFilter &f) { f.text = "12345"; });
    timeFilter("history unfiltered, newest 1000", [](RecordFilter &f) { f.limit = 1000; });
}

// The poll period while the window's record maker stores a record with a 60-s
// trace every second and the history in front reads each one back; then
// while another program holds the database's write lock for 5 s.
void RecordsBench::pollWhileStoring()
{
    PolledWindow rig;
    QVERIFY(rig.show());
    auto *recordMaker = rig.w.findChild<RecordMaker *>();
    rig.a.showPage<HistoryPage>("historyTab");
    rig.periods.clear();
    int stored = 0;
    connect(recordMaker->keeper(), &RecordKeeper::recordStored, this, [&] { ++stored; });
    QTimer every;
    int made = 0;
    const auto keep = [&](const QString &plate) { recordMaker->keeper()->keep(fullRecord(plate, made)); };
    connect(&every, &QTimer::timeout, this, [&] { keep(QStringLiteral("京C%1").arg(made++)); });
    every.start(1000);
    QTest::qWait(20000);
    every.stop();
    QVERIFY(QTest::qWaitFor([&] { return stored == made; }, 10000));
    printSpread(QStringLiteral("poll period, a record with a 60-s trace stored every second (%1 stored)").arg(stored),
                rig.periods);

    fixtures::OtherConnection other(recordMaker->databasePath());
    QVERIFY(other.holdWriteLock());
    keep(QStringLiteral("京D1"));
    rig.printPeriods(QStringLiteral("the database locked by another program"), 5000);
    other.release();
}

OPA_TEST_CLASS(RecordsBench)
#include "recordsbench.moc"
