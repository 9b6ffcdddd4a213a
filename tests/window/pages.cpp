#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>
#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>

#include "app/freeaccelpage.h"
#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/lazytab.h"
#include "app/recorddetail.h"
#include "app/trendpage.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "lane/recordmaker.h"
#include "net/serversweep.h"
#include "support/recordfixtures.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The pages beside the form: the live curve, pages built when first shown
// with what happened before on them all the same, and a plate picked on the
// free-acceleration page leading to its record in the history; the history
// filtered, sorted and exported, and a record changed by hand marked in it.
class tst_Pages : public QObject
{
    Q_OBJECT

private slots:
    // The window sweeps 127.0.0.x only.
    void init() { ServerSweep::overrideLocalAddress([] { return discoverytest::loopback(7); }); }
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }

    // A series and a recording (Ctrl+R) run before either page existed:
    // the curve, the counted peaks, the snaps, the result and the recording
    // are all there once the pages are built. A tab shown builds its own
    // page only.
    void builtLateShowsWhatItMissed()
    {
        testsupport::ScopedWorkDir dir;
        mainwindow w;
        MainWindowTestAccess a(w);
        testsupport::ManualLaneClock clock;
        clock.drive(*a.session());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(a.session()->startTest(FreeAccelMethod::r24()));
        // Idle, then four snaps in band: R24 counts all four, mean 1.44.
        feedSnaps(a, clock);
        const int replies = testsupport::snapCurve({1.50, 1.40, 1.45, 1.42}).size();
        auto *trendTab = w.findChild<LazyTab *>("trendTab");
        auto *freeAccel = w.findChild<LazyTab *>("freeAccelTab");
        QVERIFY(!trendTab->isBuilt() && !freeAccel->isBuilt() && !w.findChild<TrendPage *>());
        a.ui().tabWidget->setCurrentWidget(trendTab);
        QVERIFY(trendTab->isBuilt() && !freeAccel->isBuilt());

        auto *snaps = freeAccel->page()->findChild<QTableWidget *>("freeAccelSnaps");
        QCOMPARE(columnTexts(snaps, 4).join(QLatin1Char(' ')), QStringLiteral("✔ ✔ ✔ ✔"));
        QCOMPARE(columnTexts(snaps, 2).value(2), QStringLiteral("1.45"));
        QCOMPARE(freeAccel->page()->findChild<QLabel *>("freeAccelPrompt")->text(), QStringLiteral("测量完成"));
        QVERIFY(freeAccel->page()->findChild<QLabel *>("freeAccelResult")->text().contains("1.44"));

        auto *trend = qobject_cast<TrendPage *>(trendTab->page());
        trend->refresh();
        const QList<QtCharts::QAbstractSeries *> series = trend->chart()->series();
        QCOMPARE(static_cast<QtCharts::QXYSeries *>(series.at(0))->count(), replies);
        QCOMPARE(static_cast<QtCharts::QXYSeries *>(series.at(1))->count(), replies);
        const QVector<QPointF> peaks = static_cast<QtCharts::QXYSeries *>(series.at(2))->pointsVector();
        QCOMPARE(peaks.size(), 4);
        QCOMPARE(peaks.at(0).y(), 1.50);
        QVERIFY2(peaks.at(0).x() > -replies / 10.0 && peaks.at(3).x() < 0, qPrintable(QString::number(peaks.at(3).x())));
        QCOMPARE(trend->findChild<QLabel *>("recordStatus")->text(),
                 QStringLiteral("记录中：20260501-083000.csv，%1 行").arg(replies));
    }

    // A series started brings the free-acceleration page to the front, once
    // the page has been built; before that, the operator stays where they are.
    void seriesBringsItsPage_data()
    {
        QTest::addColumn<bool>("built");
        QTest::newRow("page built") << true;
        QTest::newRow("never shown") << false;
    }
    void seriesBringsItsPage()
    {
        QFETCH(bool, built);
        testsupport::ScopedWorkDir dir;
        mainwindow w;
        MainWindowTestAccess a(w);
        auto *tab = w.findChild<LazyTab *>("freeAccelTab");
        if (built)
            a.showPage<FreeAccelPage>("freeAccelTab");
        a.ui().tabWidget->setCurrentIndex(0);
        QVERIFY(a.session()->startTest(FreeAccelMethod::r24()));
        QCOMPARE(a.ui().tabWidget->currentWidget() == tab, built);
        QCOMPARE(tab->isBuilt(), built);
        a.session()->stopTest();
    }

    // The live curve: the window's replies on it, over the last minute by the session's clock.
    void keepsTheLastMinute()
    {
        mainwindow w;
        MainWindowTestAccess a(w);
        auto *page = a.showPage<TrendPage>("trendTab");
        testsupport::ManualLaneClock clock;
        qint64 &now = clock.ms;
        clock.drive(*a.session());
        // One reply a second for 90 s, N counting the seconds; every third has no K.
        for (int s = 0; s <= 90; ++s, now += 1000)
            a.seraildata(testsupport::measurementReply(s * 100, 0, s % 3 ? 250 : -1, 25, 30, 9));
        now -= 1000;
        page->refresh();
        auto *n = static_cast<QtCharts::QXYSeries *>(page->chart()->series().at(0));
        auto *k = static_cast<QtCharts::QXYSeries *>(page->chart()->series().at(1));
        QCOMPARE(n->count(), 61);
        QCOMPARE(n->pointsVector().mid(0, 2), (QVector<QPointF>{{-60, 30}, {-59, 31}}));
        QCOMPARE(k->count(), 40);  // the 61 less the 21 without K
        QCOMPARE(k->at(0), QPointF(-59, 2.5));
        // The curve moves on with the clock when the replies stop.
        now += 30000;
        page->refresh();
        QCOMPARE(n->pointsVector().mid(0, 1), (QVector<QPointF>{{-60, 60}}));
    }

    // A vehicle on record picked by its plate on the free-acceleration page,
    // its series run, and its record found in the history.
    void plateToHistory()
    {
        testsupport::ScopedWorkDir dir;
        {
            RecordStore store;
            QVERIFY(store.open(settings::databaseFile()) && store.store(fixtures::record()));
        }
        mainwindow w;
        MainWindowTestAccess a(w);
        testsupport::ManualLaneClock clock;
        clock.start = fixtures::record().started.addDays(1);  // newer than the one on record
        clock.drive(*a.session());
        auto *page = a.showPage<FreeAccelPage>("freeAccelTab");
        auto *plate = page->findChild<QLineEdit *>("vehiclePlate");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        plate->setFocus();
        QInputMethodEvent chinese;  // as an input method types it
        chinese.setCommitString(QStringLiteral("京"));
        QApplication::sendEvent(plate, &chinese);
        QTest::keyClicks(plate, QStringLiteral("a1"));
        QAbstractItemView *offered = plate->completer()->popup();
        QVERIFY(QTest::qWaitFor([&] { return offered->isVisible(); }, 5000));
        QTest::keyClick(offered, Qt::Key_Down);
        QTest::keyClick(offered, Qt::Key_Return);
        // The vehicle on record fills the panel; turbo, registered 2006: the table's 3.0.
        QCOMPARE(page->findChild<QLineEdit *>("vehicleVin")->text(), fixtures::vehicle().vin);
        QCOMPARE(page->findChild<QLabel *>("freeAccelLimit")->text(), QStringLiteral("限值 3.00 m⁻¹（限值表）"));
        page->findChild<QLineEdit *>("vehicleOperator")->setText(QStringLiteral("李工"));

        page->findChild<QPushButton *>("freeAccelStartButton")->click();
        QCOMPARE(settings::lastOperator(), QStringLiteral("李工"));
        feedSnaps(a, clock);
        auto *status = page->findChild<QLabel *>("freeAccelRecordStatus");
        QVERIFY(QTest::qWaitFor([&] { return status->text() == QStringLiteral("记录已保存"); }, 5000));

        auto *history = a.showPage<HistoryPage>("historyTab");
        auto *view = history->findChild<QTableView *>("historyView");
        QVERIFY(QTest::qWaitFor([&] { return view->model()->rowCount() == 2; }, 5000));
        const auto cell = [&](int column) { return view->model()->index(0, column).data().toString(); };
        QCOMPARE(QStringList({cell(HistoryModel::Plate), cell(HistoryModel::Result), cell(HistoryModel::Limit),
                              cell(HistoryModel::Verdict), cell(HistoryModel::Operator)}),
                 QStringList({"京A12345", "1.44", "3.00", "合格", "李工"}));
        history->openRecord(0);
        RecordDetail *detail = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (detail = history->findChild<RecordDetail *>()); }, 5000));
        QVERIFY2(detail->text().contains("京A12345") && detail->text().contains("1.44"), qPrintable(detail->text()));
    }

    // The history as the operator filters and sorts it, and the CSV of what it
    // shows, over four records of three vehicles on two days.
    void initTestCase()
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

    void filterSortExport_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verdict");     // the box's row: all, pass, fail, none
        QTest::addColumn<bool>("firstDay");   // only the day of the first tests
        QTest::addColumn<int>("sortColumn");  // -1: newest first
        QTest::addColumn<QStringList>("plates");
        const QString service = QStringLiteral("无车辆");
        QTest::newRow("newest first") << "" << 0 << false << -1 << QStringList{"沪C11111", "京A67890", "京A12345", service};
        QTest::newRow("plate text, any case") << "a6" << 0 << false << -1 << QStringList{"京A67890"};
        QTest::newRow("failed only") << "" << 2 << false << -1 << QStringList{"沪C11111", "京A12345"};
        QTest::newRow("first day") << "" << 0 << true << -1 << QStringList{"京A67890", "京A12345", service};
        QTest::newRow("by plate, service tests last")
            << "" << 0 << false << int(HistoryModel::Plate) << QStringList{"京A12345", "京A67890", "沪C11111", service};
    }

    void filterSortExport()
    {
        QFETCH(QString, text); QFETCH(int, verdict); QFETCH(bool, firstDay); QFETCH(int, sortColumn); QFETCH(QStringList, plates);
        LaneSession session;
        RecordMaker recordMaker(&session, QStringLiteral("history.sqlite"));
        HistoryPage page(&recordMaker, nullptr);
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
        if (!QTest::qWaitFor([&] { return columnTexts(view, HistoryModel::Plate) == plates; }, 5000))
            QCOMPARE(columnTexts(view, HistoryModel::Plate), plates);

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

    // A record whose stored row was changed by hand says so in the history
    // in place of its verdict; the others show as before.
    void changedRecordMarked()
    {
        testsupport::ScopedWorkDir work;
        const TestRecord changed = fixtures::record(QStringLiteral("京A12345"), 0);
        {
            RecordStore store;
            QVERIFY(store.open(QStringLiteral("history.sqlite")) && store.store(changed)
                    && store.store(fixtures::record(QStringLiteral("沪C11111"), 10)));
        }
        {
            fixtures::OtherConnection person(QStringLiteral("history.sqlite"));
            QVERIFY(person.exec("DROP TRIGGER records_kept_unchanged"));
            QVERIFY(person.exec(QStringLiteral("UPDATE records SET verdict = 'pass', mean_k = 1.14 WHERE id = '%1'").arg(changed.id)));
        }
        LaneSession session;
        RecordMaker archive(&session, QStringLiteral("history.sqlite"));
        HistoryPage page(&archive, nullptr);
        page.resize(600, 400);
        page.show();
        auto *view = page.findChild<QTableView *>("historyView");
        const QStringList expected{QStringLiteral("不合格"), QStringLiteral("记录校验失败")};
        if (!QTest::qWaitFor([&] { return columnTexts(view, HistoryModel::Verdict) == expected; }, 5000))
            QCOMPARE(columnTexts(view, HistoryModel::Verdict), expected);
        const QModelIndex marked = view->model()->index(1, HistoryModel::Result);
        QVERIFY(marked.data(Qt::ToolTipRole).toString().contains(QStringLiteral("mean_k")));
        QVERIFY(marked.data(Qt::ForegroundRole).isValid());
        QVERIFY(!view->model()->index(0, HistoryModel::Result).data(Qt::ForegroundRole).isValid());
    }

private:
    testsupport::ScopedWorkDir dir;
};

OPA_TEST_CLASS(tst_Pages)
#include "pages.moc"
