#include <QtTest>

#include "support/testrunner.h"
#include "support/testsupport.h"

#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "support/recordfixtures.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"
#include "report/recordreport.h"

namespace {

CheckResult filterCheck(double meanN)
{
    const ReferenceFilter f50{QStringLiteral("F50"), 50.0, QStringLiteral("ZJ2026-118"), QDate(2027, 6, 30)};
    CheckResult r = CheckJudge::filter(QVector<double>(50, meanN), f50, CheckRules());
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.started = QDateTime::currentDateTime().addSecs(-5);
    r.ended = QDateTime::currentDateTime();
    r.operatorName = QStringLiteral("王工");
    return r;
}

// The lane's schema as version 3 left it.
void makeVersionThree(QSqlDatabase &db)
{
    fixtures::makeVersionOne(db);
    QSqlQuery q(db);
    for (const char *statement :
         {"CREATE TABLE forward_queue (seq INTEGER PRIMARY KEY AUTOINCREMENT, record_id TEXT NOT NULL UNIQUE "
          "REFERENCES records(id), queued TEXT NOT NULL, sent TEXT, last_error TEXT)",
          "ALTER TABLE forward_queue ADD COLUMN refused TEXT", "PRAGMA user_version=3"})
        q.exec(QLatin1String(statement));
}

} // namespace

// A daily check's record: made, kept, read back and verified beside the
// tests, in a file migrated from version 3 too.
class tst_CheckRecords : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); path = dir->filePath("results/opacimeter.sqlite"); }

    // The tests of a version 3 file stay readable, verifiable and tests;
    // a check joins them and each list holds its own, its kind checked.
    void migrationFromVersionThree()
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const TestRecord test = fixtures::record();
        {
            fixtures::OtherConnection old(path);
            makeVersionThree(old.db);
            QVERIFY(old.exec(QStringLiteral("INSERT INTO records (id, started, ended, plate, vin, verdict, operator, station, lane, method, outcome, "
                                            "mean_k, limit_k, hash, json) VALUES ('%1', '%2', '%3', '%4', '%5', '%6', '%7', '%8', '%9', '%10', "
                                            "'%11', %12, %13, '%14', '%15')")
                                 .arg(test.id, RecordTime::text(test.started), RecordTime::text(test.ended), test.vehicle.plate, test.vehicle.vin,
                                      test.verdict, test.operatorName, test.station, test.lane)
                                 .arg(test.method, TestRecord::outcomeKey(test.outcome), QString::number(*test.meanK, 'g', 17),
                                      QString::number(test.limit.limitK, 'g', 17), test.hash,
                                      QString::fromUtf8(QJsonDocument(test.toJson()).toJson(QJsonDocument::Compact)))));
        }
        RecordStore store;
        QVERIFY2(store.open(path), qPrintable(store.errorString()));
        QCOMPARE(store.schemaVersion(), 4);
        QCOMPARE(store.check({test.id}).value(test.id), QStringList());

        LaneSession session;
        RecordMaker archive(&session, path);
        TestRecord check = archive.recordOf(filterCheck(50.4));
        QVERIFY(store.store(check));
        TestRecord back;
        QStringList differing;
        QVERIFY(store.find(check.id, &back, &differing));
        QVERIFY(differing.isEmpty() && back.isCheck() && back.hashMatches());
        QCOMPARE(QString::number(back.check.value("meanN").toDouble()) + ' ' + back.check.value("filter").toObject().value("certificate").toString(),
                 QStringLiteral("50.4 ZJ2026-118"));
        RecordFilter checks;
        checks.kind = QStringLiteral("check");
        const QVector<RecordSummary> tests = store.query(RecordFilter()), listed = store.query(checks);
        QCOMPARE(QStringLiteral("%1 %2 %3 %4").arg(tests.size()).arg(tests.value(0).id).arg(listed.size()).arg(listed.value(0).method),
                 QStringLiteral("1 %1 1 filter").arg(test.id));

        // Its kind changed by hand is found out: it would move between the
        // two lists unseen otherwise. (The old file made here has no trigger.)
        fixtures::OtherConnection other(path);
        QVERIFY(other.exec("DROP TRIGGER IF EXISTS records_kept_unchanged"));
        QVERIFY(other.exec(QStringLiteral("UPDATE records SET kind = 'test' WHERE id = '%1'").arg(check.id)));
        QCOMPARE(store.check({check.id}).value(check.id), QStringList{QStringLiteral("kind")});
    }

    // A check goes the way a test goes: the unsaved file first, then the
    // database; the keeper finds it again at the next start.
    void keptAndFoundAtStart()
    {
        const QString unsaved = dir->filePath("results/unsaved");
        QString id;
        {
            LaneSession session;
            RecordMaker archive(&session, path, unsaved);
            QSignalSpy kept(&archive, &RecordMaker::checkKept);
            QSignalSpy series(&archive, &RecordMaker::recordKept);
            archive.start();
            const CheckResult result = filterCheck(49.0);
            id = result.id;
            archive.keepCheck(result);
            QVERIFY(kept.wait(5000));
            QCOMPARE(kept.at(0), (QVariantList{id, true}));
            QCOMPARE(series.count(), 0);
            QVERIFY(archive.close());
        }
        QVERIFY(QDir(unsaved).entryList(QDir::Files).isEmpty());
        LaneSession session;
        RecordMaker archive(&session, path, unsaved);
        QSignalSpy found(archive.keeper(), &RecordKeeper::checksFound);
        archive.start();
        QVERIFY(found.wait(5000));
        const auto rows = found.at(0).at(0).value<QVector<RecordSummary>>();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).id, id);
        QCOMPARE(rows.at(0).verdict, QStringLiteral("pass"));
    }

    // A check's page names what was checked against what, and its verdict,
    // not a test's.
    void report_data()
    {
        QTest::addColumn<double>("meanN");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("passed") << 51.5 << "通过";
        QTest::newRow("failed") << 52.5 << "未通过";
    }
    void report()
    {
        QFETCH(double, meanN); QFETCH(QString, verdict);
        LaneSession session;
        RecordMaker archive(&session, path);
        const QString html = RecordReport(archive.recordOf(filterCheck(meanN))).html();
        for (const QString &text : {QStringLiteral("烟度计日常检查报告"), QStringLiteral("ZJ2026-118"),
                                    QStringLiteral("%1 %").arg(meanN, 0, 'f', 2),
                                    QStringLiteral("class='verdict'>") + verdict + QStringLiteral("<")})
            QVERIFY2(html.contains(text), qPrintable(text));
        QVERIFY(!html.contains(QStringLiteral("自由加速")));
    }

private:
    QScopedPointer<QTemporaryDir> dir;
    QString path;
};

OPA_TEST_CLASS(tst_CheckRecords)

#include "checkrecords.moc"
