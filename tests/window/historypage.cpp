#include <QtTest>

#include "support/testrunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include "app/historymodel.h"
#include "app/historypage.h"
#include "lane/lanesession.h"
#include "lane/testarchive.h"
#include "records/recordfixtures.h"
#include "support/testsupport.h"

// The history as the operator filters and sorts it, and the CSV of what
// it shows, over four records of three vehicles on two days.
class tst_HistoryPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filterSortExport_data();
    void filterSortExport();

private:
    static QStringList shownPlates(QTableView *view)
    {
        QStringList plates;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            plates << view->model()->index(row, HistoryModel::Plate).data().toString();
        return plates;
    }
    testsupport::ScopedWorkDir dir;
};

void tst_HistoryPage::initTestCase()
{
    RecordStore store;
    QVERIFY(store.open(QStringLiteral("history.sqlite")));
    const QVector<double> passing{1.0, 1.1, 1.05, 1.1};  // 1.06 against the plate value 1.20
    TestRecord other = fixtures::record(QStringLiteral("京A67890"), 10, passing);
    other.vehicle.vin = QStringLiteral("LSVAM4187C2184842");
    other.seal();
    for (const TestRecord &r : {fixtures::record(QStringLiteral("京A12345"), 0), other,
                                fixtures::record(QStringLiteral("沪C11111"), 24 * 60),
                                fixtures::record(QString(), -60, passing)})
        QVERIFY2(store.store(r), qPrintable(store.errorString()));
}

void tst_HistoryPage::filterSortExport_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("verdict");     // the box's row: all, pass, fail, none
    QTest::addColumn<bool>("firstDay");   // only the day of the first tests
    QTest::addColumn<int>("sortColumn");  // -1: newest first
    QTest::addColumn<QStringList>("plates");
    const QString service = QStringLiteral("无车辆");
    QTest::newRow("newest first") << "" << 0 << false << -1 << QStringList{"沪C11111", "京A67890", "京A12345", service};
    QTest::newRow("plate text, any case") << "a6" << 0 << false << -1 << QStringList{"京A67890"};
    QTest::newRow("VIN text") << "lsvam" << 0 << false << -1 << QStringList{"京A67890"};
    QTest::newRow("failed only") << "" << 2 << false << -1 << QStringList{"沪C11111", "京A12345"};
    QTest::newRow("first day") << "" << 0 << true << -1 << QStringList{"京A67890", "京A12345", service};
    QTest::newRow("by plate, service tests last")
        << "" << 0 << false << int(HistoryModel::Plate) << QStringList{"京A12345", "京A67890", "沪C11111", service};
    QTest::newRow("by result, then newest") << "" << 1 << false << int(HistoryModel::Result) << QStringList{"京A67890", service};
}

void tst_HistoryPage::filterSortExport()
{
    QFETCH(QString, text);
    QFETCH(int, verdict);
    QFETCH(bool, firstDay);
    QFETCH(int, sortColumn);
    QFETCH(QStringList, plates);
    LaneSession session;
    TestArchive archive(&session, QStringLiteral("history.sqlite"));
    HistoryPage page(&archive, nullptr);
    page.findChild<QLineEdit *>("historySearch")->setText(text);
    page.findChild<QComboBox *>("historyVerdict")->setCurrentIndex(verdict);
    const QDate day = fixtures::record().started.date();
    page.findChild<QDateEdit *>("historySince")->setDate(day);
    page.findChild<QDateEdit *>("historyUntil")->setDate(day);
    page.findChild<QCheckBox *>("historyUseDates")->setChecked(firstDay);
    auto *view = page.findChild<QTableView *>("historyView");
    if (sortColumn >= 0)
        view->horizontalHeader()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    page.refresh();
    if (!QTest::qWaitFor([&] { return shownPlates(view) == plates; }, 5000))
        QCOMPARE(shownPlates(view), plates);

    QSignalSpy exported(&page, &HistoryPage::exported);
    page.exportCsv(QStringLiteral("list.csv"));
    QVERIFY(exported.wait(5000) && exported.at(0).at(1).toString().isEmpty());
    QFile csv(QStringLiteral("list.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0).section(',', 6, 7), QStringLiteral("plate,vin"));
    QStringList csvPlates;
    for (const QString &line : lines.mid(1))
        csvPlates << (line.section(',', 6, 6).isEmpty() ? QStringLiteral("无车辆") : line.section(',', 6, 6));
    QCOMPARE(csvPlates, plates);
    const int failed = plates.indexOf("京A12345") + 1;
    QVERIFY(!failed || lines.at(failed).contains(",京A12345,1M8GDM9AXKP042788,R24,1.3;1.22;1.2;1.25,1.24,yes,1.2,plate,fail,"));
}

OPA_TEST_CLASS(tst_HistoryPage)
#include "historypage.moc"
