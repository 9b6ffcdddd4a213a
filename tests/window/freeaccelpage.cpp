#include <QtTest>

#include "support/testrunner.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/freeaccelpage.h"
#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/recorddetail.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "net/socketclient.h"
#include "records/recordfixtures.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// A vehicle on record picked by its plate on the free-acceleration page,
// its series run, and its record found in the history.
class FreeAccelPageTest : public QObject
{
    Q_OBJECT

private slots:
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
        // A sweep after the show stays on loopback.
        SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
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
        QVERIFY(a.session()->testRunning());
        QCOMPARE(settings::lastOperator(), QStringLiteral("李工"));
        for (double k : testsupport::snapCurve({1.50, 1.40, 1.45, 1.42})) {
            a.seraildata(testsupport::measurementReply(0, 0, qint16(qRound(k * 100)), 20, 21, 100));
            clock.ms += 100;
        }
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
        SocketClient::overrideLocalAddress({});
    }
};

OPA_TEST_CLASS(FreeAccelPageTest)
#include "freeaccelpage.moc"
