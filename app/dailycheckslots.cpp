#include "app/mainwindow.h"

#include <QLabel>
#include <QTimer>

#include "app/dailycheckpage.h"
#include "app/lazytab.h"
#include "lane/dailychecks.h"

// The daily checks the lane's host keeps: their tab, their state in the
// header strip, and the calibration they ask for.

void mainwindow::addDailyChecks()
{
    QStringList faults;
    dailyChecks = host->addDailyChecks(&faults);
    connect(dailyChecks, &DailyChecks::calibrationWanted, this, &mainwindow::on_adjustButton_clicked,
            Qt::QueuedConnection);
    connect(dailyChecks, &DailyChecks::dayChanged, this, &mainwindow::showChecksState);
    // Midnight comes without an event of its own.
    auto *minute = new QTimer(this);
    connect(minute, &QTimer::timeout, this, &mainwindow::showChecksState);
    minute->start(60000);

    checksLabel = new QLabel(ui.frame);
    checksLabel->setObjectName(QStringLiteral("checksLabel"));
    checksLabel->setVisible(dailyChecks->required());
    checksTab = new LazyTab([this, faults](QWidget *holder) {
        auto *page = new DailyCheckPage(dailyChecks, recordMaker, holder);
        page->setFaults(faults);
        connect(page, &DailyCheckPage::responsePageWanted, this, [this] { ui.tabWidget->setCurrentWidget(ui.tab_3); });
        return page;
    });
    checksTab->setObjectName(QStringLiteral("checksTab"));
    ui.tabWidget->addTab(checksTab, QString());
}

// The text lives in the tooltip too, whole, since the strip may elide it.
void mainwindow::showChecksState()
{
    if (!checksLabel || !dailyChecks->required())
        return;
    const bool done = dailyChecks->missing().isEmpty();
    const QString text = done ? tr("日常检查已完成") : tr("日常检查未完成");
    checksLabel->setToolTip(text);
    checksLabel->setStyleSheet(done ? QStringLiteral("color: #007000") : QStringLiteral("color: #c00000"));
    placeHeaderLabels();
}
