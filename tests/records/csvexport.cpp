#include <QtTest>

#include "support/testrunner.h"

#include "support/recordfixtures.h"
#include "records/recordcsv.h"

namespace {

RecordSummary summary(const QJsonObject &json)
{
    RecordSummary r;
    r.json = QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
    return r;
}

} // namespace

// Exported records as people open them in a spreadsheet: UTF-8 it knows as
// such (the byte-order mark: tst_RecordsTool), and no cell that it would run
// as a formula.
class tst_CsvExport : public QObject
{
    Q_OBJECT

private slots:
    // As a script reads it: Python's csv module with the encoding Excel's files want.
    void pythonRoundTrip()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            QSKIP("python3 is not installed");
        const QString csv = dir.filePath("round.csv");
        QString error;
        QVERIFY(RecordCsv::write(csv, {summary(fixtures::record("京A12345").toJson())}, &error));
        QProcess python;
        python.start("python3", {"-c", "import csv, sys\n"
                                       "rows = list(csv.DictReader(open(sys.argv[1], encoding='utf-8-sig', newline='')))\n"
                                       "sys.stdout.buffer.write((rows[0]['plate'] + '|' + rows[0]['operator']).encode())",
                                 csv});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()), QStringLiteral("京A12345|王工"));
    }

    // Text that starts as a formula gets the apostrophe; numbers never do.
    void formulaCells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("=") << "=HYPERLINK(\"x\")" << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("+") << "+86 10 1234" << "'+86 10 1234";
        QTest::newRow("-") << "-2+3" << "'-2+3";
        QTest::newRow("@") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("tab") << "\tx" << "'\tx";
        QTest::newRow("CR") << "\rx" << "\"'\rx\"";
        QTest::newRow("a number as text") << "-0.5" << "'-0.5";
        QTest::newRow("= inside") << "a=b" << "a=b";
    }
    void formulaCells()
    {
        QFETCH(QString, text); QFETCH(QString, cell);
        const QString csv = dir.filePath("formula.csv");
        QJsonObject json = fixtures::record().toJson();
        json.insert("operator", text);
        json.insert("mean_K", -0.5);
        json.insert("peaks_K", QJsonArray{-0.1, 0.2});
        QString error;
        QVERIFY(RecordCsv::write(csv, {summary(json)}, &error, false));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString row = QString::fromUtf8(file.readAll()).section('\n', 1);
        const int at = RecordCsv::listFields().indexOf("operator");
        QCOMPARE(row.section(',', at, at), cell);
        QCOMPARE(row.section(',', at + 4, at + 5), QStringLiteral("-0.1;0.2,-0.5"));  // peaks_K, mean_K
    }

private:
    QTemporaryDir dir;
};

OPA_TEST_CLASS(tst_CsvExport)
#include "csvexport.moc"
