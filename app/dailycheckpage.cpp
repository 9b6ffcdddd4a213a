#include "app/dailycheckpage.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QPalette>
#include <QVBoxLayout>

#include "app/retranslate.h"
#include "lane/recordmaker.h"

namespace {

const CheckKind Kinds[] = {CheckKind::Zero, CheckKind::Filter, CheckKind::Response};
const char *const ButtonTexts[] = {QT_TRANSLATE_NOOP("DailyCheckPage", "零点检查"),
                                   QT_TRANSLATE_NOOP("DailyCheckPage", "滤光片检查"),
                                   QT_TRANSLATE_NOOP("DailyCheckPage", "响应时间检查")};

} // namespace

DailyCheckPage::DailyCheckPage(DailyChecks *checks, RecordMaker *recordMaker, QWidget *parent)
    : QWidget(parent), checks(checks)
{
    build();
    connect(checks, &DailyChecks::checkStarted, this, [this](CheckKind kind) {
        Retranslate::text(progress, [kind] {
            return kind == CheckKind::Zero ? tr("正在校准仪表，随后读取 5 s 读数…")
                   : kind == CheckKind::Filter ? tr("请将滤光片置于光路中，正在读取 5 s 读数…")
                                               : tr("请先遮挡光路测上升时间，再移开测下降时间…");
        });
        recordStatus->clear();
        showState();
    });
    connect(checks, &DailyChecks::checkFinished, this, &DailyCheckPage::showResult);
    connect(checks, &DailyChecks::checkFailed, this, [this](CheckKind, const QString &reason) {
        Retranslate::text(progress, [reason] { return reason; });
        showState();
    });
    connect(checks, &DailyChecks::dayChanged, this, &DailyCheckPage::showState);
    connect(recordMaker, &RecordMaker::checkKept, this, [this](const QString &, bool stored) {
        Retranslate::text(recordStatus, [stored] {
            return stored ? tr("记录已保存") : tr("记录未能存入数据库，已保留，稍后重试");
        });
    });
    showState();
}

QString DailyCheckPage::title()
{
    return tr("日常检查");
}

void DailyCheckPage::build()
{
    auto *layout = new QVBoxLayout(this);
    lockLabel = new QLabel(this);
    lockLabel->setObjectName(QStringLiteral("lockLabel"));
    layout->addWidget(lockLabel);
    grid = new QGridLayout;
    layout->addLayout(grid);
    for (int i = 0; i < 3; ++i) {
        auto *name = new QLabel(this);
        const CheckKind kind = Kinds[i];
        Retranslate::text(name, [kind] { return CheckKinds::shownName(kind); });
        states[i] = new QLabel(this);
        buttons[i] = new QPushButton(this);
        const char *caption = ButtonTexts[i];
        Retranslate::text(buttons[i], [caption] { return tr(caption); });
        connect(buttons[i], &QPushButton::clicked, this, [this, kind] { startCheck(kind); });
        grid->addWidget(name, i, 0);
        grid->addWidget(states[i], i, 1);
        grid->addWidget(buttons[i], i, 3);
    }
    buttons[1]->setObjectName(QStringLiteral("filterCheckButton"));
    buttons[0]->setObjectName(QStringLiteral("zeroCheckButton"));
    filterBox = new QComboBox(this);
    filterBox->setObjectName(QStringLiteral("filterBox"));
    fillFilters();
    grid->addWidget(filterBox, 1, 2);
    grid->setColumnStretch(1, 1);
    stopButton = new QPushButton(this);
    Retranslate::text(stopButton, [] { return tr("停止"); });
    connect(stopButton, &QPushButton::clicked, checks, &DailyChecks::cancel);
    grid->addWidget(stopButton, 3, 3);
    progress = new QLabel(this);
    progress->setObjectName(QStringLiteral("checkProgress"));
    progress->setWordWrap(true);
    recordStatus = new QLabel(this);
    faultLabel = new QLabel(this);
    faultLabel->setWordWrap(true);
    faultLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    layout->addWidget(progress);
    layout->addWidget(recordStatus);
    layout->addWidget(faultLabel);
    layout->addStretch();
}

// The date decides which filters are overdue; they stay listed, marked,
// so that the operator sees why one is refused.
void DailyCheckPage::fillFilters()
{
    const QString chosen = filterBox->currentData().toString();
    filterBox->clear();
    const QDate today = QDate::currentDate();
    for (const ReferenceFilter &f : checks->filters()) {
        const QString text = QStringLiteral("%1  %2 %").arg(f.name).arg(f.nominalN, 0, 'f', 1);
        filterBox->addItem(f.overdue(today) ? tr("%1（已过期）").arg(text) : text, f.name);
        filterBox->setItemData(filterBox->count() - 1,
                               tr("证书 %1，有效期至 %2").arg(f.certificate, f.due.toString(Qt::ISODate)),
                               Qt::ToolTipRole);
    }
    // The one chosen before, else the first that may be used.
    int index = filterBox->findData(chosen);
    for (int i = 0; i < checks->filters().size() && index < 0; ++i)
        if (!checks->filters().at(i).overdue(today))
            index = i;
    filterBox->setCurrentIndex(qMax(0, index));
}

void DailyCheckPage::setFaults(const QStringList &faults)
{
    faultLines = faults;
    faultLabel->setText(faults.isEmpty() ? QString()
                                         : tr("set.ini 中有无法读取的行：") + faults.join(QLatin1Char('\n')));
}

void DailyCheckPage::startCheck(CheckKind kind)
{
    if (kind == CheckKind::Response)
        emit responsePageWanted();
    QString why;
    if (!checks->start(kind, filterBox->currentData().toString(), &why))
        Retranslate::text(progress, [why] { return why; });
}

void DailyCheckPage::showResult(const CheckResult &result)
{
    const QJsonObject json = result.toJson();
    Retranslate::text(progress, [json] { return CheckKinds::summary(json); });
    showState();
}

void DailyCheckPage::showState()
{
    const QVector<CheckKind> missing = checks->missing();
    for (int i = 0; i < 3; ++i) {
        const bool due = checks->rules().daily.contains(Kinds[i]);
        const bool passed = due && !missing.contains(Kinds[i]);
        states[i]->setText(!due ? tr("不要求") : passed ? tr("今日已通过") : tr("今日尚未通过"));
        // A palette, not a style sheet, so the label keeps the form's type.
        QPalette palette = states[i]->palette();
        palette.setColor(QPalette::WindowText, passed || !due ? QColor(0, 112, 0) : QColor(192, 0, 0));
        states[i]->setPalette(palette);
        buttons[i]->setEnabled(!checks->running());
    }
    filterBox->setEnabled(!checks->running() && filterBox->count() > 0);
    buttons[1]->setEnabled(buttons[1]->isEnabled() && filterBox->count() > 0);
    stopButton->setEnabled(checks->running());
    lockLabel->setText(missing.isEmpty() ? tr("今日日常检查已完成") : checks->lockText());
}

void DailyCheckPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        showState();
        setFaults(faultLines);
        fillFilters();
    }
    QWidget::changeEvent(event);
}
