#include <QtTest>

#include <QFontDatabase>

#include "support/testrunner.h"

#include "recordfixtures.h"
#include "records/recordstore.h"
#include "report/typeface.h"

namespace {

struct ToolRun {
    int status = -1;
    QString out, err;
};

// The tool as a process, with 'env' changed ("NAME=value", or "NAME" to unset).
ToolRun runRecords(const QStringList &arguments, const QStringList &env = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &e : env)
        e.contains('=') ? environment.insert(e.section('=', 0, 0), e.section('=', 1)) : environment.remove(e);
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(OPA_RECORDS_BINARY), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return ToolRun();
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

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
// of the command, what it prints from a record holding terminal controls,
// and its report in the program's typeface, also where no display is.
class tst_RecordsToolUse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        db = dir.filePath("opacimeter.sqlite");
        RecordStore store;
        QVERIFY(store.open(db));
        QVERIFY(store.store(fixtures::record("京A12345", 0)) && store.store(fixtures::record("沪D4", 60)));
        // Escape, the one-byte C1 control sequence introducer (U+009B) and a right-to-left override.
        QVERIFY(store.store(fixtures::record("京A\x1b[2J\xc2\x9b" "1\u202e", 120)));
    }

    void optionsAnywhere_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("notPrinted");
        const QString d = db;
        QTest::newRow("after") << QStringList{"list", "--db", d} << 0 << "沪D4" << "unknown";
        QTest::newRow("before") << QStringList{"--db", d, "list"} << 0 << "沪D4" << "unknown";
        QTest::newRow("before, with =") << QStringList{"--db=" + d, "list"} << 0 << "沪D4" << "unknown";
        QTest::newRow("single dash before") << QStringList{"-db", d, "list"} << 0 << "沪D4" << "unknown";
        QTest::newRow("both sides") << QStringList{"--plate", "沪", "list", "--db", d} << 0 << "沪D4" << "京A12345";
        QTest::newRow("switch before") << QStringList{"--json", "--db", d, "list"} << 0 << "\"plate\": \"沪D4\"" << "unknown";
        QTest::newRow("export, file before") << QStringList{"--csv", dir.filePath("o.csv"), "--db", d, "export"} << 0 << "exported 3" << "unknown";
        QTest::newRow("help after options") << QStringList{"--db", d, "--help"} << 0 << "before or after the command" << "unknown";
        QTest::newRow("options alone") << QStringList{"--db", d} << 2 << "missing command" << "unknown";
        QTest::newRow("another command's option before") << QStringList{"--json", "verify", "--db", d} << 2 << "Unknown option 'json'" << "沪D4";
        QTest::newRow("value that reads as a command") << QStringList{"--plate", "list", "--db", d, "list"} << 0 << "" << "沪D4";
    }
    void optionsAnywhere()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, printed);
        QFETCH(QString, notPrinted);
        const ToolRun run = runRecords(arguments);
        const QString all = run.out + run.err;
        QVERIFY2(run.status == status && all.contains(printed) && !all.contains(notPrinted), qPrintable(all));
    }

    // A record's text cannot clear the terminal or turn the line around.
    void controlCharactersEscaped_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("shown");
        QTest::newRow("list") << QStringList{"list", "--db", db} << "京A\\x1b[2J\\x9b1\\u202e";
        QTest::newRow("list --json") << QStringList{"list", "--json", "--db", db} << "京A\\u001b[2J\\u009b1\\u202e";
        QTest::newRow("show") << QStringList{"show", id("\x1b"), "--db", db} << "plate: 京A\\x1b[2J\\x9b1\\u202e";
    }
    void controlCharactersEscaped()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, shown);
        const ToolRun run = runRecords(arguments);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(shown), qPrintable(run.out));
        for (const QChar c : run.out)
            QVERIFY2(c == '\n' || (c.category() != QChar::Other_Control && c != QChar(0x202e)), qPrintable(run.out));
    }

    // The program's one family (its name on this system), and no other CJK family.
    void reportInTheProgramsTypeface()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty())
            QSKIP("pdffonts (poppler-utils) is not installed");
        const QString pdf = dir.filePath("report.pdf");
        QCOMPARE(runRecords({"report", id("京A12345"), "--pdf", pdf, "--db", db}).status, 0);
        Typeface::mapFormFamily(QFontDatabase().families());
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
        QTest::newRow("no display") << QStringList{"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"};
    }
    void reportWithoutDisplay()
    {
        QFETCH(QStringList, env);
        const QString pdf = dir.filePath(QTest::currentDataTag() + QStringLiteral(".pdf"));
        const ToolRun run = runRecords({"report", id("沪D4"), "--pdf", pdf, "--db", db}, env);
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
};

OPA_TEST_CLASS(tst_RecordsToolUse)
#include "recordstooluse.moc"
