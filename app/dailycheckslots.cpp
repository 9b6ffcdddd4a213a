#include "app/mainwindow.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>

#include "app/dailycheckpage.h"
#include "app/lazytab.h"
#include "config/inifile.h"
#include "config/recordsettings.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "records/recordkeeper.h"

// The daily checks: the rules and filters of set.ini, the lock on tests,
// the tab, and their state in the header strip.

void mainwindow::addDailyChecks()
{
    dailyChecks = new DailyChecks(session, this);
    host->setDailyChecks(dailyChecks);
    const settings::IniFile file;
    QStringList faults;
    // A profile's [Checks] replace set.ini's, but for RequireDaily.
    const auto useRules = [this] {
        const ProcedureProfile &profile = session->profile();
        const settings::IniFile checks(profile.path.isEmpty() ? settings::iniPath() : profile.path);
        CheckRules rules;
        QString error;
        if (!CheckRules::read(checks, &rules, &error))
            qWarning("checks: %s; the default tolerances stand", qPrintable(error));
        dailyChecks->setRules(rules);
        return error;
    };
    const QString rulesFault = useRules();
    if (!rulesFault.isEmpty())
        faults << rulesFault;
    connect(session, &LaneSession::profileChanged, dailyChecks, useRules);
    dailyChecks->setFilters(readFilters(file, &faults));
    dailyChecks->setRequired(requireDailyChecks(file));
    dailyChecks->setOperator(settings::lastOperator());
    for (const QString &fault : faults)
        qWarning("checks: %s", qPrintable(fault));
    session->setStartGate([this] {
        if (dailyChecks->running())
            return tr("日常检查正在进行");
        return dailyChecks->locked() ? dailyChecks->lockText() : QString();
    });
    connect(recordMaker->keeper(), &RecordKeeper::checksFound, dailyChecks, &DailyChecks::takeStored);
    connect(dailyChecks, &DailyChecks::checkFinished, recordMaker, &RecordMaker::keepCheck);
    connect(dailyChecks, &DailyChecks::checkStarted, this,
            [this] { dailyChecks->setOperator(settings::lastOperator()); });
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
