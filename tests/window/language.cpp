#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/freeaccelpage.h"
#include "language/language.h"
#include "app/lazytab.h"
#include "app/trendpage.h"
#include "config/settings.h"
#include "lane/freeaccelcsv.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// English beside Chinese, switched while the window runs: the form's fixed
// texts, whole in their boxes, texts that follow the program's state, and
// nothing a machine reads.
class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Language::switchTo(QStringLiteral("zh")); }

    // Object name, or a tab page's name for its tab's title. The last tab
    // whole means the ones before it are.
    // Qt's own buttons and dialogs speak the window's language.
    void qtOwnTexts()
    {
        QVERIFY(Language::switchTo(QStringLiteral("zh")));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("打开(&O)"));
        QVERIFY(Language::switchTo(QStringLiteral("en")));
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Open"));
    }

    void formTexts_data()
    {
        QTest::addColumn<QString>("zh");
        QTest::addColumn<QString>("en");
        const auto row = [](const char *name, const char *zh, const char *en) {
            QTest::newRow(name) << QString::fromUtf8(zh) << QString::fromUtf8(en);
        };
        row("label_7", "透射式烟度计", "Smoke Opacity Meter");
        row("historyTab", "检测记录", "Test records");
        row("refactButton", "恢复出厂", "Factory reset");
    }
    void formTexts()
    {
        QFETCH(QString, zh); QFETCH(QString, en);
        mainwindow w;
        QTabWidget *tabs = MainWindowTestAccess(w).ui().tabWidget;
        auto *widget = w.findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(widget);
        const auto text = [&] {
            const int tab = tabs->indexOf(widget);
            return tab >= 0 ? tabs->tabText(tab) : widget->property("text").toString();
        };
        QCOMPARE(text(), zh);
        QVERIFY(Language::switchTo(QStringLiteral("en")));
        QCOMPARE(text(), en);
        // Whole: the box holds the text's size hint; no tab hides behind
        // the bar's scroll buttons.
        if (tabs->indexOf(widget) < 0)
            QVERIFY(widget->width() >= widget->sizeHint().width() && widget->height() >= widget->sizeHint().height());
        else
            QVERIFY(tabs->tabBar()->tabRect(tabs->indexOf(widget)).right() < w.width());
        QVERIFY(Language::switchTo(QStringLiteral("zh")));
        QCOMPARE(text(), zh);
    }

    // What the program's state chose is said again in the new language: the
    // link, a running response test, a page built before and one after the
    // switch, a method's name; the results file keeps its own words. The
    // operator's preset and edited rule are kept in set.ini.
    void stateAndMachineTexts()
    {
        testsupport::ScopedWorkDir dir;
        mainwindow w;
        MainWindowTestAccess a(w);
        auto &ui = a.ui();
        auto *trend = qobject_cast<TrendPage *>(w.findChild<LazyTab *>("trendTab")->page());
        trend->togglePause();
        ui.uptestButton->click();
        QVERIFY(!Language::switchTo(QStringLiteral("fr")));
        QVERIFY(Language::switchTo(QStringLiteral("en")));
        QCOMPARE(QStringList({ui.label_link->text(), ui.uptestButton->text(), ui.downtestButton->text(), trend->findChild<QPushButton *>()->text()}),
                 QStringList({"Connecting", "Testing", "Measure fall", "Resume"}));
        auto *page = qobject_cast<FreeAccelPage *>(w.findChild<LazyTab *>("freeAccelTab")->page());
        QCOMPARE(page->findChild<QPushButton *>("freeAccelStopButton")->text(), QStringLiteral("Stop"));
        auto *preset = page->findChild<QComboBox *>();
        preset->setCurrentIndex(1);
        emit preset->activated(1);
        QCOMPARE(preset->currentText(), QStringLiteral("Mean of 3"));
        QCOMPARE(settings::storedFreeAccelMethod().name, FreeAccelMethod::threeMean().name);
        page->startSeries();
        page->stopSeries();
        QCOMPARE(page->findChild<QLabel *>("freeAccelPrompt")->text(), QStringLiteral("Test stopped"));
        QFile csv(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QVERIFY2(lines.at(1).contains(",三次平均,") && lines.at(1).contains(",no,"), lines.at(1).constData());

        QVERIFY(Language::switchTo(QStringLiteral("zh")));
        QCOMPARE(preset->currentText(), QStringLiteral("三次平均"));
        QCOMPARE(page->findChild<QLabel *>("freeAccelPrompt")->text(), QStringLiteral("测量已停止"));
        page->findChild<QSpinBox *>()->setValue(2);  // two peaks are not a preset
        QCOMPARE(settings::storedFreeAccelMethod().name, FreeAccelMethod::CustomName);
    }
};

OPA_TEST_CLASS(tst_Language)
#include "language.moc"
