#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/historypage.h"
#include "config/recordsettings.h"
#include "lane/recordmaker.h"
#include "support/recordfixtures.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace {

// Bytes that are no SQLite file: the store moves them aside at start.
bool writeDamagedDatabase()
{
    const QString path = settings::databaseFile();
    return QDir().mkpath(QFileInfo(path).absolutePath()) && testsupport::writeFile(path, QByteArray(4096, 'x'));
}

} // namespace

// The records' storage problems in the header strip and the log from the
// start on, with no page built that reads the records; and the strip
// cleared once a test of this run is stored with nothing left waiting.
class tst_StorageLabel : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }

    // A damaged database moved aside at start is named in the strip and
    // the log with no page built that lists records; a record an earlier run
    // left unsaved, stored at start, leaves the strip as it is; the record of
    // a series run now clears it.
    void namedThenClearedByALaterTest()
    {
        testsupport::ScopedWorkDir dir;
        QVERIFY(writeDamagedDatabase() && testsupport::writeFile(QStringLiteral("set.ini"), "[Database]\nServerHost=/nowhere\n"));
        const TestRecord earlier = fixtures::record(QStringLiteral("京A12345"), 0);
        const QDir unsaved(QString::fromLatin1(RecordMaker::DefaultUnsavedFolder));
        QFile left(unsaved.filePath(earlier.id + QStringLiteral(".json")));
        QVERIFY(unsaved.mkpath(QStringLiteral(".")) && testsupport::writeFile(left.fileName(), QJsonDocument(earlier.toJson()).toJson()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(
            "^records: damaged database moved aside to .*opacimeter\\.sqlite.+; a new one was started$"));
        mainwindow w;
        MainWindowTestAccess a(w);
        a.setNoticeDelay(600000);
        testsupport::ManualLaneClock clock;
        clock.drive(*a.session());
        w.show();
        auto *label = w.findChild<QLabel *>("label_storage");
        QTRY_VERIFY2(label->toolTip().contains("数据库文件已损坏，已移至 "), qPrintable(label->toolTip()));
        QTRY_VERIFY(label->isVisible() && !label->text().isEmpty() && label->width() > 0);
        QVERIFY(!w.findChild<HistoryPage *>());
        // The station's status keeps the right half, in its own short words.
        auto *records = w.findChild<QLabel *>("label_records");
        QTRY_VERIFY(records->isVisible() && records->x() > label->x() + label->width());
        QVERIFY2(!records->text().contains("connection to server"), qPrintable(records->text()));
        QTRY_VERIFY(!left.exists());  // taken in and stored
        QVERIFY(label->isVisible());

        QVERIFY(a.session()->startTest(FreeAccelMethod::r24()));
        feedSnaps(a, clock);
        QTRY_VERIFY(label->isHidden());
        QVERIFY(label->toolTip().isEmpty());
    }
};

OPA_TEST_CLASS(tst_StorageLabel)
#include "storagelabel.moc"
