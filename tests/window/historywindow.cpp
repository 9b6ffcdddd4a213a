#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/historywindow.h"
#include "app/language.h"
#include "config/recordsettings.h"
#include "config/uisettings.h"
#include "net/socketclient.h"
#include "records/recordfixtures.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The history in a window of its own beside the tab, and the history's
// columns within the page's width.
class HistoryWindowTest : public QObject
{
    Q_OBJECT

    static QStringList plates(HistoryPage *page)
    {
        QStringList shown;
        const QAbstractItemModel *model = page->findChild<QTableView *>("historyView")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, HistoryModel::Plate).data().toString();
        return shown;
    }
    static bool shows(HistoryPage *page, const QStringList &wanted)
    {
        return QTest::qWaitFor([&] { return plates(page) == wanted; }, 5000);
    }
    static void storeRecords(const QVector<TestRecord> &records)
    {
        RecordStore store;
        QVERIFY(store.open(settings::databaseFile()));
        for (const TestRecord &r : records)
            QVERIFY2(store.store(r), qPrintable(store.errorString()));
    }
    static void openBy(mainwindow &w, const QString &how)
    {
        MainWindowTestAccess a(w);
        auto *page = a.showPage<HistoryPage>("historyTab");
        if (how == QLatin1String("button")) {
            page->findChild<QPushButton *>("historyNewWindow")->click();
            return;
        }
        QTabBar *bar = a.ui().tabWidget->tabBar();
        const QPoint tab = bar->tabRect(a.ui().tabWidget->indexOf(w.findChild<QWidget *>("historyTab"))).center();
        QTest::mouseDClick(bar, Qt::LeftButton, {}, tab);
    }

private slots:
    // The window sweeps 127.0.0.x only.
    void init() { SocketClient::overrideLocalAddress([] { return discoverytest::loopback(7); }); }
    void cleanup()
    {
        Language::switchTo(QStringLiteral("zh"));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    }

    // Opened from the tab's button or by a double-click on the tab, the
    // window shows the tab's list with its filter, takes a new record as the
    // tab does, and goes when the main window closes; the tab keeps working.
    void opensFollowsAndCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << "button";
        QTest::newRow("tab double-click") << "tab";
    }
    void opensFollowsAndCloses()
    {
        QFETCH(QString, how);
        testsupport::ScopedWorkDir dir;
        storeRecords({fixtures::record(QStringLiteral("京A12345")), fixtures::record(QStringLiteral("沪C11111"), 10)});
        mainwindow w;
        MainWindowTestAccess a(w);
        testsupport::ManualLaneClock clock;
        clock.start = fixtures::record().started.addDays(1);
        clock.drive(*a.session());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *tabPage = a.showPage<HistoryPage>("historyTab");
        tabPage->findChild<QLineEdit *>("historySearch")->setText(QStringLiteral("京A"));
        QVERIFY(shows(tabPage, {"京A12345"}));
        openBy(w, how);
        auto *window = w.findChild<HistoryWindow *>();
        QVERIFY(window && window->isVisible() && window->isWindow());
        QVERIFY(window->page()->findChild<QPushButton *>("historyNewWindow")->isHidden());
        QVERIFY(shows(window->page(), {"京A12345"}));

        // A series of 京A12345 on the lane: both lists take its record.
        TestSubject subject;
        subject.vehicle = fixtures::vehicle(QStringLiteral("京A12345"));
        QVERIFY(a.session()->startTest(FreeAccelMethod::r24(), subject));
        for (double k : testsupport::snapCurve({1.50, 1.40, 1.45, 1.42})) {
            a.seraildata(testsupport::measurementReply(0, 0, qint16(qRound(k * 100)), 20, 21, 100));
            clock.ms += 100;
        }
        QVERIFY(shows(window->page(), {"京A12345", "京A12345"}));
        QVERIFY(shows(tabPage, {"京A12345", "京A12345"}));
        tabPage->findChild<QLineEdit *>("historySearch")->clear();
        QVERIFY(shows(tabPage, {"京A12345", "沪C11111", "京A12345"}));

        w.close();
        QVERIFY(!window->isVisible());
    }

    // Moved and resized, closed, and opened by the next start where it was.
    void keepsItsPlace()
    {
        testsupport::ScopedWorkDir dir;
        const QRect moved(40, 50, 820, 530);
        {
            mainwindow w;
            w.show();
            openBy(w, QStringLiteral("button"));
            auto *window = w.findChild<HistoryWindow *>();
            window->move(moved.topLeft());
            window->resize(moved.size());
            w.close();
        }
        QCOMPARE(settings::storedHistoryWindow(), moved);
        mainwindow w;
        w.show();
        openBy(w, QStringLiteral("button"));
        auto *window = w.findChild<HistoryWindow *>();
        QCOMPARE(QRect(window->pos(), window->size()), moved);
    }

    void storedPlace_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QRect>("place");
        QTest::newRow("commas by hand") << "HistoryWindow=-10,20,700,500" << QRect(-10, 20, 700, 500);
        QTest::newRow("no width") << "HistoryWindow=10 20 0 500" << QRect();
        QTest::newRow("three numbers") << "HistoryWindow=10 20 700" << QRect();
        QTest::newRow("not numbers") << "HistoryWindow=a b c d" << QRect();
    }
    void storedPlace()
    {
        QFETCH(QString, line); QFETCH(QRect, place);
        testsupport::ScopedWorkDir dir;
        QFile ini(QStringLiteral("set.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[UI]\n" + line + "\n").toUtf8());
        ini.close();
        QCOMPARE(settings::storedHistoryWindow(), place);
    }

    // At the window's fixed size, a VIN and a long operator's name included,
    // every column shows without the list scrolling sideways.
    void columnsFitThePage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("Chinese") << "zh";
        QTest::newRow("English") << "en";
    }
    void columnsFitThePage()
    {
        QFETCH(QString, language);
        testsupport::ScopedWorkDir dir;
        TestRecord named = fixtures::record(QStringLiteral("沪C11111"), 10);
        named.operatorName = QStringLiteral("欧阳晓明 (Ouyang Xiaoming)");
        named.seal();
        storeRecords({fixtures::record(), named});
        QVERIFY(Language::switchTo(language));
        mainwindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *page = MainWindowTestAccess(w).showPage<HistoryPage>("historyTab");
        QVERIFY(shows(page, {"沪C11111", "京A12345"}));
        auto *view = page->findChild<QTableView *>("historyView");
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QHeaderView *header = view->horizontalHeader();
        QVERIFY2(header->length() <= view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(header->length()).arg(view->viewport()->width())));
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        // Cut short, a text is still whole in its tooltip.
        QCOMPARE(view->model()->index(0, HistoryModel::Operator).data(Qt::ToolTipRole).toString(), named.operatorName);
    }
};

OPA_TEST_CLASS(HistoryWindowTest)
#include "historywindow.moc"
