#include <QtTest>

#include "support/testrunner.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include "app/freeaccelpage.h"
#include "app/lazytab.h"
#include "lane/freeaccelcsv.h"
#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/recorddetail.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "lane/freeaccelcsv.h"
#include "net/socketclient.h"
#include "records/recordfixtures.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The operator's choices on the free-acceleration page: a preset, an edited
// rule, a series stopped by hand; a vehicle on record picked by its plate,
// its series run, and its record found in the history.
class FreeAccelPageTest : public QObject
{
    Q_OBJECT

private slots:
    void choicesAreKeptAndAStopIsRecorded()
    {
        testsupport::ScopedWorkDir dir;
        mainwindow w;
        auto *page = qobject_cast<FreeAccelPage *>(w.findChild<LazyTab *>("freeAccelTab")->page());
        auto *preset = page->findChild<QComboBox *>();
        preset->setCurrentIndex(1);
        emit preset->activated(1);
        QCOMPARE(settings::storedFreeAccelMethod().name, FreeAccelMethod::threeMean().name);
        page->findChild<QSpinBox *>()->setValue(2);  // two peaks are not a preset
        QCOMPARE(settings::storedFreeAccelMethod().name, FreeAccelMethod::CustomName);

        page->findChild<QPushButton *>("freeAccelStartButton")->click();
        page->findChild<QPushButton *>("freeAccelStopButton")->click();
        QCOMPARE(page->findChild<QLabel *>("freeAccelPrompt")->text(), QStringLiteral("测量已停止"));
        QFile csv(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().split('\n').at(1).contains(",no,"));
    }

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
