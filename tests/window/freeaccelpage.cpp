#include <QtTest>

#include "support/testrunner.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "app/freeaccelpage.h"
#include "app/lazytab.h"
#include "lane/freeaccelcsv.h"
#include "config/settings.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The operator's choices on the free-acceleration page: a preset, an edited
// rule, a series stopped by hand.
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
};

OPA_TEST_CLASS(FreeAccelPageTest)
#include "freeaccelpage.moc"
