#include <QtTest>

#include "support/testrunner.h"

#include "records/testsubject.h"
#include "support/recordfixtures.h"
#include "records/recordcheck.h"
#include "records/recordstore.h"

using fixtures::runTool;

// A stored record whose shown columns or content were changed by hand is
// found by verify and marked wherever it is shown, while a service test's
// empty columns pass; names with control characters are refused; the
// writing connection syncs fully.
class tst_RecordCheck : public QObject
{
    Q_OBJECT

private slots:
    void changedColumnIsFound_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<QString>("differs");
        QTest::newRow("plate") << "plate = '京A99999'" << "plate";
        QTest::newRow("vin") << "vin = 'LSVAM4187C2184847'" << "vin";
        QTest::newRow("verdict") << "verdict = 'pass'" << "verdict";
        QTest::newRow("verdict emptied") << "verdict = NULL" << "verdict";
        QTest::newRow("operator") << "operator = '李工'" << "operator";
        QTest::newRow("started") << "started = '2026-12-06T10:15:30.123+08:00'" << "started";
        QTest::newRow("ended") << "ended = NULL" << "ended";
        QTest::newRow("method") << "method = '三次平均'" << "method";
        QTest::newRow("outcome") << "outcome = 'invalid'" << "outcome";
        QTest::newRow("mean_k") << "mean_k = 1.14" << "mean_k";
        QTest::newRow("mean_k in the last place") << "mean_k = 1.2400000000000002" << "mean_k";
        QTest::newRow("limit_k") << "limit_k = 1.5" << "limit_k";
        QTest::newRow("content") << "json = replace(json, '\"mean_K\":1.24', '\"mean_K\":1.14')" << "content";
        QTest::newRow("content and its column") << "json = replace(json, '\"mean_K\":1.24', '\"mean_K\":1.14'), mean_k = 1.14"
                                                << "content";
        QTest::newRow("hash") << "hash = 'ab'" << "content";
    }
    void changedColumnIsFound()
    {
        QFETCH(QString, set);
        QFETCH(QString, differs);
        QTemporaryDir dir;
        const QString path = dir.filePath("opacimeter.sqlite");
        const TestRecord changed = fixtures::record("京A12345", 0);
        TestRecord other = fixtures::record("", 60);
        other.vehicle.vin.clear();
        other.verdict.clear();
        other.limit = LimitChoice();
        other.seal();
        {
            RecordStore store;
            QVERIFY(store.open(path) && store.store(changed) && store.store(other));
        }
        {
            fixtures::OtherConnection person(path);
            QVERIFY(person.exec("DROP TRIGGER records_kept_unchanged"));
            QVERIFY(person.exec(QStringLiteral("UPDATE records SET %1 WHERE id = '%2'").arg(set, changed.id)));
        }
        RecordStore store;
        QVERIFY(store.open(path, RecordStore::Mode::ReadOnly));
        const QHash<QString, QStringList> failed = store.check({changed.id, other.id});
        QCOMPARE(failed.keys(), QStringList{changed.id});
        QVERIFY2(failed.value(changed.id).contains(differs), qPrintable(failed.value(changed.id).join(',')));

        const fixtures::ToolRun verify = runTool({"verify", "--db", path});
        QCOMPARE(verify.status, 1);
        QVERIFY(verify.err.contains("2 records checked, 1 differ"));
        QVERIFY2(verify.out.contains(changed.id + "  Record check failed: ") && verify.out.contains(differs), qPrintable(verify.out));
        QVERIFY(!verify.out.contains(other.id));

        const fixtures::ToolRun list = runTool({"list", "--db", path});
        QCOMPARE(list.status, 0);
        const QStringList lines = list.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (const QString &line : lines)
            QCOMPARE(line.endsWith("Record check failed"), line.contains(changed.id));
        const fixtures::ToolRun show = runTool({"show", changed.id, "--db", path});
        QVERIFY2(show.out.startsWith("Record check failed: "), qPrintable(show.out));
        QVERIFY(runTool({"show", changed.id, "--json", "--db", path}).err.startsWith("Record check failed: "));
        QVERIFY(!runTool({"show", other.id, "--db", path}).out.contains("Record check failed"));
    }

    void writingConnectionSyncsFully()
    {
        QTemporaryDir dir;
        RecordStore store;
        QVERIFY(store.open(dir.filePath("opacimeter.sqlite")));
        QVERIFY(store.durabilityNotice().isEmpty());
        QStringList writers;
        for (const QString &name : QSqlDatabase::connectionNames()) {
            QSqlQuery q(QSqlDatabase::database(name, false));
            if (name.startsWith("records-") && q.exec("PRAGMA synchronous") && q.next())
                writers << q.value(0).toString();
        }
        QCOMPARE(writers, QStringList{"2"});  // FULL
        // A database SQLite keeps in memory takes the request for WAL and
        // stays in its own journal mode: that is said, not passed over.
        {
            QSqlDatabase memory = QSqlDatabase::addDatabase("QSQLITE", "in-memory");
            memory.setDatabaseName(":memory:");
            QVERIFY(memory.open());
            QCOMPARE(durabilityProblem(memory), QStringLiteral("数据库未能启用 WAL 日志：:memory:"));
        }
        QSqlDatabase::removeDatabase("in-memory");
    }

    void controlCharactersRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::newRow("plain") << "王工" << false;
        QTest::newRow("line feed") << "王\n工" << true;
        QTest::newRow("escape") << "\x1b[2J王工" << true;
        QTest::newRow("delete") << "王\x7f工" << true;
        QTest::newRow("line separator") << QString::fromUtf8("王\u2028工") << true;
        QTest::newRow("right-to-left override") << QString::fromUtf8("王\u202e工") << true;
    }
    void controlCharactersRefused()
    {
        QFETCH(QString, name);
        QFETCH(bool, refused);
        QCOMPARE(!nameProblem(name).isEmpty(), refused);
        // The vehicle panel's and the API's operator meet it when a test starts.
        TestSubject subject;
        subject.operatorName = name;
        QCOMPARE(subject.normalised().fault().isEmpty(), !refused);
        QCOMPARE(subject.normalised().fault(Words::Source).startsWith(QStringLiteral("检测员：")), refused);
    }
};

OPA_TEST_CLASS(tst_RecordCheck)
#include "recordcheck.moc"
