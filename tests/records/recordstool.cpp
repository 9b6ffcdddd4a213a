#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include "support/testrunner.h"

#include "recordfixtures.h"
#include "records/recordstore.h"

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

Run runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return Run();
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

} // namespace

// opacimeter-records as scripts run it: what it prints, its exit statuses,
// and that it leaves the database as it found it: a locked one, a damaged
// one and one of the first schema too.
class tst_RecordsTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void listJsonFields();

private:
    QTemporaryDir dir;
    QString db;
    TestRecord first;
    std::unique_ptr<fixtures::OtherConnection> locker;
};

void tst_RecordsTool::initTestCase()
{
    db = dir.filePath("opacimeter.sqlite");
    first = fixtures::record("京A12345", 0);
    {
        RecordStore store;
        QVERIFY(store.open(db));
        QVERIFY(store.store(first) && store.store(fixtures::record("沪D4", 24 * 60)));
    }
    QVERIFY(QFile::copy(db, dir.filePath("locked.sqlite")) && QFile::copy(db, dir.filePath("changed.sqlite")));
    {
        fixtures::OtherConnection changed(dir.filePath("changed.sqlite"));  // behind the program's back
        QVERIFY(changed.exec("DROP TRIGGER records_kept_unchanged"));
        QVERIFY(changed.exec(QStringLiteral("UPDATE records SET json = replace(json, '\"fail\"', '\"pass\"') WHERE id = '%1'").arg(first.id)));
    }
    locker.reset(new fixtures::OtherConnection(dir.filePath("locked.sqlite")));
    QVERIFY(locker->lockExclusively());
    QVERIFY(QDir(dir.path()).mkdir("corrupt"));
    QFile corrupt(dir.filePath("corrupt/opacimeter.sqlite"));
    QVERIFY(corrupt.open(QIODevice::WriteOnly) && corrupt.write(QByteArray(4096, 'x')) == 4096);
    fixtures::OtherConnection old(dir.filePath("old.sqlite"));
    fixtures::makeVersionOne(old.db);
}

void tst_RecordsTool::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stderrHas");
    QTest::addColumn<QString>("stdoutHas");
    const QString d = QStringLiteral("--db=") + dir.filePath("opacimeter.sqlite");
    QTest::newRow("list") << QStringList{"list", d} << 0 << "" << "沪D4";
    QTest::newRow("list by plate and days") << QStringList{"list", d, "--plate", "a1", "--since", "2026-12-01", "--until", "2026-12-07"} << 0 << "" << "";
    QTest::newRow("export") << QStringList{"export", "--csv", dir.filePath("out.csv"), d} << 0 << "exported 2 records" << "";
    QTest::newRow("first schema read, not migrated") << QStringList{"list", "--db", dir.filePath("old.sqlite")} << 0 << "" << "";
    QTest::newRow("verify") << QStringList{"verify", d} << 0 << "2 records checked, 0 differ" << "";
    QTest::newRow("verify names the changed record") << QStringList{"verify", "--db", dir.filePath("changed.sqlite")} << 1
                                                     << "2 records checked, 1 differ" << first.id;
    QTest::newRow("show unknown id") << QStringList{"show", "0000", d} << 1 << "no record '0000'" << "";
    QTest::newRow("missing database") << QStringList{"list", "--db", dir.filePath("none.sqlite")} << 1 << "none.sqlite: no such database" << "";
    QTest::newRow("locked database") << QStringList{"list", "--db", dir.filePath("locked.sqlite")} << 1
                                     << "opacimeter-records: " + dir.filePath("locked.sqlite") + ": locked by another program; try again later" << "";
    QTest::newRow("damaged database") << QStringList{"verify", "--db", dir.filePath("corrupt/opacimeter.sqlite")} << 1
                                      << ": not a records database, or damaged" << "";
    QTest::newRow("no command") << QStringList{} << 2 << "missing command" << "";
    QTest::newRow("unknown command") << QStringList{"delete", d} << 2 << "unknown command 'delete'" << "";
    QTest::newRow("bad date") << QStringList{"list", d, "--since", "7.12.2026"} << 2 << "--since: expected a date as yyyy-MM-dd" << "";
    QTest::newRow("since after until") << QStringList{"list", d, "--since", "2026-12-08", "--until", "2026-12-07"} << 2 << "--since is after --until" << "";
    QTest::newRow("show without id") << QStringList{"show", d} << 2 << "expected one record id" << "";
    QTest::newRow("export without file") << QStringList{"export", d} << 2 << "--csv FILE is required" << "";
    QTest::newRow("option of another command") << QStringList{"verify", d, "--json"} << 2 << "Unknown option 'json'" << "";
}

void tst_RecordsTool::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, stderrHas);
    QFETCH(QString, stdoutHas);
    const Run run = runTool(arguments);
    QVERIFY(run.out.contains(stdoutHas));
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
    if (status != 0)
        QCOMPARE(run.err.count('\n'), 1);
    QCOMPARE(QDir(dir.filePath("corrupt")).entryList(QDir::Files), QStringList{"opacimeter.sqlite"});
    QCOMPARE(fixtures::OtherConnection(dir.filePath("old.sqlite")).value("PRAGMA user_version").toInt(), 1);
}

void tst_RecordsTool::listJsonFields()
{
    const Run run = runTool({"list", "--json", "--db", db, "--plate", "京a"});
    QCOMPARE(run.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(run.out.toUtf8()).array();
    QCOMPARE(rows.size(), 1);
    const QJsonObject row = rows.first().toObject();
    QCOMPARE(QStringList({row.value("id").toString(), QString::number(row.value("peaks_K").toArray().size()),
                          QString::number(row.value("mean_K").toDouble()), row.value("valid").toVariant().toString(),
                          row.value("limit_source").toString(), row.value("verdict").toString()}),
             QStringList({first.id, "4", "1.24", "true", "plate", "fail"}));
    QVERIFY(row.value("started").toString().endsWith(RecordTime::text(first.started).right(6)));
    QVERIFY(!row.contains("trace"));
}

OPA_TEST_CLASS(tst_RecordsTool)
#include "recordstool.moc"
