#include <QtTest>


#include "support/testrunner.h"

#include "support/recordfixtures.h"
#include "records/recordstore.h"
#include "report/typeface.h"
#include "support/testsupport.h"

using fixtures::runTool;
using fixtures::ToolRun;

namespace {

// The font names pdffonts lists, without the subset tags ("ABCDEF+").
QStringList pdfFonts(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {pdf});
    p.waitForFinished(30000);
    QStringList names;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n').mid(2))
        if (!line.trimmed().isEmpty())
            names << line.section(' ', 0, 0).section('+', -1);
    return names;
}

} // namespace

// opacimeter-records as people and scripts meet it: options on either side
// of the command, what it prints and its exit statuses, leaving the database
// as it found it (a locked one, a damaged one and one of the first schema
// too), what it prints from a record holding terminal controls, its CSV,
// and its report in the program's typeface, also where no display is.
class tst_RecordsTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        db = dir.filePath("opacimeter.sqlite");
        {
            RecordStore store;
            QVERIFY(store.open(db));
            QVERIFY(store.store(fixtures::record("京A12345", 0)) && store.store(fixtures::record("沪D4", 24 * 60)));
            // Escape, the one-byte C1 control sequence introducer (U+009B) and a right-to-left override.
            QVERIFY(store.store(fixtures::record("京A\x1b[2J\xc2\x9b" "1\u202e", 25 * 60)));
        }
        {
            // A test under a profile, in a file of its own: the others' counts stay.
            TestRecord r = fixtures::record("粤B1", 30);
            r.profile = {"GB3847-2018", "GB 3847-2018 自由加速法", "GB 3847-2018", "1", "ab12"};
            r.limit.row = QStringLiteral("限值a");
            r.snaps.first().purge = true;
            r.seal();
            profiled = r.id;
            RecordStore store;
            QVERIFY(store.open(dir.filePath("profile.sqlite")) && store.store(r));
        }
        QVERIFY(QFile::copy(db, dir.filePath("locked.sqlite")));
        locker.reset(new fixtures::OtherConnection(dir.filePath("locked.sqlite")));
        QVERIFY(locker->lockExclusively());
        QVERIFY(QDir(dir.path()).mkdir("corrupt"));
        QVERIFY(testsupport::writeFile(dir.filePath("corrupt/opacimeter.sqlite"), QByteArray(4096, 'x')));
        fixtures::OtherConnection old(dir.filePath("old.sqlite"));
        fixtures::makeVersionOne(old.db);
    }

    // 'printed' on stderr when the tool fails, else on either; never a
    // terminal control on stdout.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("notPrinted");
        const QString d = db, locked = dir.filePath("locked.sqlite");
        QTest::newRow("after") << QStringList{"list", "--db", d} << 0 << "沪D4" << "unknown";
        QTest::newRow("before") << QStringList{"--db", d, "list"} << 0 << "沪D4" << "unknown";
        QTest::newRow("both sides") << QStringList{"--plate", "沪", "list", "--db", d} << 0 << "沪D4" << "京A12345";
        QTest::newRow("switch before, no trace") << QStringList{"--json", "--db", d, "list"} << 0 << "\"plate\": \"沪D4\"" << "\"trace\"";
        QTest::newRow("export, file before") << QStringList{"--csv", dir.filePath("o.csv"), "--db", d, "export"} << 0 << "exported 3" << "unknown";
        QTest::newRow("export --no-bom") << QStringList{"export", "--no-bom", "--csv", dir.filePath("n.csv"), "--db", d} << 0 << "exported 3" << "";
        QTest::newRow("help after options") << QStringList{"--db", d, "--help"} << 0 << "before or after the command" << "unknown";
        QTest::newRow("options alone") << QStringList{"--db", d} << 2 << "missing command" << "unknown";
        QTest::newRow("another command's option before") << QStringList{"--json", "verify", "--db", d} << 2 << "Unknown option 'json'" << "沪D4";
        QTest::newRow("value that reads as a command") << QStringList{"--plate", "list", "--db", d, "list"} << 0 << "" << "沪D4";
        QTest::newRow("list by plate and days") << QStringList{"list", "--db=" + d, "--plate", "a1", "--since", "2026-12-01", "--until", "2026-12-07"}
                                                << 0 << "京A12345" << "沪D4";
        QTest::newRow("first schema read, not migrated") << QStringList{"list", "--db", dir.filePath("old.sqlite")} << 0 << "" << "";
        QTest::newRow("verify") << QStringList{"verify", "--db", d} << 0 << "3 records checked, 0 differ" << "";
        QTest::newRow("show: the profile") << QStringList{"show", profiled, "--db", dir.filePath("profile.sqlite")} << 0
                                           << "profile: GB3847-2018 (GB 3847-2018 自由加速法, version 1, sha256 ab12)\nlimit_row: 限值a" << "";
        QTest::newRow("show: a purge") << QStringList{"show", profiled, "--db", dir.filePath("profile.sqlite")} << 0 << " ms purge\n" << "";
        QTest::newRow("show unknown id") << QStringList{"show", "0000", "--db", d} << 1 << "no record '0000'" << "";
        QTest::newRow("missing database") << QStringList{"list", "--db", dir.filePath("none.sqlite")} << 1 << "none.sqlite: no such database" << "";
        QTest::newRow("locked database") << QStringList{"list", "--db", locked} << 1
                                         << "opacimeter-records: " + locked + ": locked by another program; try again later" << "";
        QTest::newRow("damaged database") << QStringList{"verify", "--db", dir.filePath("corrupt/opacimeter.sqlite")} << 1
                                          << ": not a records database, or damaged" << "";
        QTest::newRow("no command") << QStringList{} << 2 << "missing command" << "";
        QTest::newRow("unknown command") << QStringList{"delete", "--db", d} << 2 << "unknown command 'delete'" << "";
        QTest::newRow("lane: set.ini's database only") << QStringList{"lane", "--db", d} << 2 << "Unknown option 'db'" << "";
        QTest::newRow("lane: no argument") << QStringList{"lane", "now"} << 2 << "lane: unexpected argument 'now'" << "";
        // A record's text cannot clear the terminal or turn the line around.
        QTest::newRow("controls escaped: list") << QStringList{"list", "--db", d} << 0 << "京A\\x1b[2J\\x9b1\\u202e" << "";
        QTest::newRow("controls escaped: list --json") << QStringList{"list", "--json", "--db", d} << 0 << "京A\\u001b[2J\\u009b1\\u202e" << "";
        QTest::newRow("controls escaped: show") << QStringList{"show", id("\x1b"), "--db", d} << 0 << "plate: 京A\\x1b[2J\\x9b1\\u202e" << "";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments); QFETCH(int, status); QFETCH(QString, printed); QFETCH(QString, notPrinted);
        const ToolRun run = runTool(arguments);
        const QString all = run.out + run.err;
        QVERIFY2(run.status == status && (status ? run.err : all).contains(printed), qPrintable(all));
        QVERIFY2(notPrinted.isEmpty() || !all.contains(notPrinted), qPrintable(all));
        if (status != 0)
            QCOMPARE(run.err.count('\n'), 1);
        for (const QChar c : run.out)
            QVERIFY2(c == '\n' || (c.category() != QChar::Other_Control && c != QChar(0x202e)), qPrintable(run.out));
        if (arguments.contains("export") && status == 0) {  // marked as the history's, for spreadsheets; --no-bom for programs
            QFile csv(arguments.at(arguments.indexOf("--csv") + 1));
            const QByteArray bom("\xEF\xBB\xBF"), bytes = csv.open(QIODevice::ReadOnly) ? csv.readAll() : QByteArray();
            QCOMPARE(bytes.count(bom), int(bytes.startsWith(bom)));
            QVERIFY(bytes.mid(bytes.startsWith(bom) ? 3 : 0).startsWith("id,started,") && bytes.startsWith(bom) != arguments.contains("--no-bom"));
        }
        QCOMPARE(QDir(dir.filePath("corrupt")).entryList(QDir::Files), QStringList{"opacimeter.sqlite"});
        QCOMPARE(fixtures::OtherConnection(dir.filePath("old.sqlite")).value("PRAGMA user_version").toInt(), 1);
    }

    // The program's one family (its name on this system), and no other CJK family.
    void reportInTheProgramsTypeface()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty())
            QSKIP("pdffonts (poppler-utils) is not installed");
        const QString pdf = dir.filePath("report.pdf");
        QCOMPARE(runTool({"report", id("京A12345"), "--pdf", pdf, "--db", db}).status, 0);
        Typeface::mapFormFamily();
        const QString family = QFontInfo(QFont(Typeface::formFamily())).family().remove(' ');
        QStringList cjk;
        for (const QString &font : pdfFonts(pdf))
            if (font.contains("CJK", Qt::CaseInsensitive) && !cjk.contains(font.section('-', 0, 0)))
                cjk << font.section('-', 0, 0);
        QVERIFY2(cjk.size() == 1 && cjk.first().compare(family, Qt::CaseInsensitive) == 0,
                 qPrintable(cjk.join(", ") + " instead of " + family));
    }

    // Qt aborts at a display that is gone; the report needs none.
    void reportWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("env");
        QTest::newRow("display gone") << QStringList{"DISPLAY=:8731", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"};
        QTest::newRow("display gone, X11 asked for") << QStringList{"DISPLAY=:8731", "QT_QPA_PLATFORM=xcb"};
    }
    void reportWithoutDisplay()
    {
        QFETCH(QStringList, env);
        const QString pdf = dir.filePath(QTest::currentDataTag() + QStringLiteral(".pdf"));
        const ToolRun run = runTool({"report", id("沪D4"), "--pdf", pdf, "--db", db}, env);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
    }

private:
    // The id of the record whose plate holds 'plate'.
    QString id(const QString &plate)
    {
        RecordStore store;
        if (!store.open(db, RecordStore::Mode::ReadOnly))
            return QString();
        for (const RecordSummary &r : store.query(RecordFilter()))
            if (r.plate.contains(plate))
                return r.id;
        return QString();
    }

    QTemporaryDir dir;
    QString db;
    QString profiled;  // the id of the one test under a profile
    std::unique_ptr<fixtures::OtherConnection> locker;
};

OPA_TEST_CLASS(tst_RecordsTool)
#include "recordstool.moc"
