#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include "support/testrunner.h"

#include "recordfixtures.h"
#include "records/recordstore.h"

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
    Run run;
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = tool.exitCode();
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

} // namespace

// opacimeter-records as scripts run it: what it prints, its exit statuses,
// and that it leaves the database as it found it.
class tst_RecordsTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void listJsonFields();
    void verifyFindsChangedRecord();
    void lockedDatabase();
    void corruptDatabaseLeftAlone();
    void olderSchemaNotMigrated();

private:
    QTemporaryDir dir;
    QString db;
    TestRecord first;
    TestRecord second;
};

void tst_RecordsTool::initTestCase()
{
    db = dir.filePath("opacimeter.sqlite");
    first = fixtures::record("京A12345", 0);
    second = fixtures::record("沪D4", 24 * 60);
    RecordStore store;
    QVERIFY(store.open(db));
    QVERIFY(store.store(first) && store.store(second));
}

void tst_RecordsTool::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stderrHas");
    const QString d = QStringLiteral("--db=") + dir.filePath("opacimeter.sqlite");
    QTest::newRow("list") << QStringList{"list", d} << 0 << "";
    QTest::newRow("list by plate and days") << QStringList{"list", d, "--plate", "a1", "--since", "2026-12-01", "--until", "2026-12-07"} << 0 << "";
    QTest::newRow("export") << QStringList{"export", "--csv", dir.filePath("out.csv"), d} << 0 << "exported 2 records";
    QTest::newRow("show unknown id") << QStringList{"show", "0000", d} << 1 << "no record '0000'";
    QTest::newRow("missing database") << QStringList{"list", "--db", dir.filePath("none.sqlite")} << 1 << "none.sqlite: no such database";
    QTest::newRow("no command") << QStringList{} << 2 << "missing command";
    QTest::newRow("unknown command") << QStringList{"delete", d} << 2 << "unknown command 'delete'";
    QTest::newRow("bad date") << QStringList{"list", d, "--since", "7.12.2026"} << 2 << "--since: expected a date as yyyy-MM-dd";
    QTest::newRow("since after until") << QStringList{"list", d, "--since", "2026-12-08", "--until", "2026-12-07"} << 2 << "--since is after --until";
    QTest::newRow("show without id") << QStringList{"show", d} << 2 << "expected one record id";
    QTest::newRow("export without file") << QStringList{"export", d} << 2 << "--csv FILE is required";
    QTest::newRow("option of another command") << QStringList{"verify", d, "--json"} << 2 << "Unknown option 'json'";
}

void tst_RecordsTool::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, stderrHas);
    const Run run = runTool(arguments);
    QCOMPARE(run.status, status);
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(stderrHas), qPrintable(err));
    if (status != 0)
        QCOMPARE(err.count('\n'), 1);
}

void tst_RecordsTool::listJsonFields()
{
    const Run run = runTool({"list", "--json", "--db", db, "--plate", "京a"});
    QCOMPARE(run.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(rows.size(), 1);
    const QJsonObject row = rows.first().toObject();
    QCOMPARE(row.value("id").toString(), first.id);
    QCOMPARE(row.value("peaks_K").toArray().size(), 4);
    QCOMPARE(row.value("mean_K").toDouble(), 1.24);
    QCOMPARE(row.value("valid").toBool(), true);
    QCOMPARE(row.value("limit_source").toString(), QStringLiteral("plate"));
    QCOMPARE(row.value("verdict").toString(), QStringLiteral("fail"));
    QVERIFY(row.value("started").toString().endsWith(RecordTime::text(first.started).right(6)));
    QVERIFY(!row.contains("trace"));
}

// A record changed behind the program's back is named; the others are not.
void tst_RecordsTool::verifyFindsChangedRecord()
{
    QTemporaryDir own;
    const QString path = own.filePath("opacimeter.sqlite");
    QVERIFY(QFile::copy(db, path));
    QCOMPARE(runTool({"verify", "--db", path}).status, 0);
    {
        fixtures::OtherConnection other(path);
        QVERIFY(other.exec("DROP TRIGGER records_kept_unchanged"));
        QVERIFY(other.exec(QStringLiteral("UPDATE records SET json = replace(json, '\"fail\"', '\"pass\"') "
                                          "WHERE id = '%1'").arg(first.id)));
    }
    const Run run = runTool({"verify", "--db", path});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out.trimmed(), first.id.toUtf8());
    QVERIFY(run.err.contains("2 records checked, 1 differ"));
}

void tst_RecordsTool::lockedDatabase()
{
    QTemporaryDir own;
    const QString path = own.filePath("opacimeter.sqlite");
    QVERIFY(QFile::copy(db, path));
    fixtures::OtherConnection other(path);
    QVERIFY(other.lockExclusively());
    const Run run = runTool({"list", "--db", path});
    QCOMPARE(run.status, 1);
    QCOMPARE(QString::fromUtf8(run.err),
             "opacimeter-records: " + path + ": locked by another program; try again later\n");
}

void tst_RecordsTool::corruptDatabaseLeftAlone()
{
    QTemporaryDir own;
    const QString path = own.filePath("opacimeter.sqlite");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    for (const char *command : {"list", "verify"}) {
        const Run run = runTool({command, "--db", path});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.endsWith(": not a records database, or damaged\n"), run.err.constData());
    }
    QCOMPARE(QDir(own.path()).entryList(QDir::Files), QStringList{"opacimeter.sqlite"});
}

void tst_RecordsTool::olderSchemaNotMigrated()
{
    QTemporaryDir own;
    const QString path = own.filePath("opacimeter.sqlite");
    {
        fixtures::OtherConnection old(path);
        fixtures::makeVersionOne(old.db);
    }
    QCOMPARE(runTool({"list", "--db", path}).status, 0);
    fixtures::OtherConnection after(path);
    QCOMPARE(after.value("PRAGMA user_version").toInt(), 1);
}

OPA_TEST_CLASS(tst_RecordsTool)
#include "recordstool.moc"
