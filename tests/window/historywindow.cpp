#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/historywindow.h"
#include "config/recordsettings.h"
#include "config/uisettings.h"
#include "net/serversweep.h"
#include "support/recordfixtures.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The history in a window of its own beside the tab.
class tst_HistoryWindow : public QObject
{
    Q_OBJECT

    static bool shows(HistoryPage *page, const QStringList &wanted)
    {
        const auto *view = page->findChild<QTableView *>("historyView");
        return QTest::qWaitFor([&] { return columnTexts(view, HistoryModel::Plate) == wanted; }, 5000);
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
    void init() { ServerSweep::overrideLocalAddress([] { return discoverytest::loopback(7); }); }
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }

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
        {
            RecordStore store;
            QVERIFY(store.open(settings::databaseFile()) && store.store(fixtures::record(QStringLiteral("京A12345")))
                    && store.store(fixtures::record(QStringLiteral("沪C11111"), 10)));
        }
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
        feedSnaps(a, clock);
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
};

OPA_TEST_CLASS(tst_HistoryWindow)
#include "historywindow.moc"
