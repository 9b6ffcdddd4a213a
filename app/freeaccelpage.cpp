#include "app/freeaccelpage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include <cmath>

#include "app/methodeditor.h"
#include "app/retranslate.h"
#include "app/vehiclepanel.h"
#include "config/profilesettings.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "language/language.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "records/recordreader.h"

namespace {

enum Column { NumberColumn, TimeColumn, PeakKColumn, PeakNColumn, CountedColumn, ColumnCount };

// Names and verdicts the series keeps in its own words (they go into the
// results file as they are); only the page, the history and the report
// show them translated, in this context.
const char *const SeriesWords[] = {
    QT_TRANSLATE_NOOP("FreeAccelPage", "三次平均"), QT_TRANSLATE_NOOP("FreeAccelPage", "自定义"),
    QT_TRANSLATE_NOOP("FreeAccelPage", "合格"), QT_TRANSLATE_NOOP("FreeAccelPage", "不合格")};

QString shown(const QString &seriesWord)
{
    return QCoreApplication::translate("FreeAccelPage", seriesWord.toUtf8().constData());
}

} // namespace

QString FreeAccelPage::title()
{
    return tr("自由加速");
}

FreeAccelPage::FreeAccelPage(LaneSession *session, RecordMaker *archive, const FreeAccelMethod &inUse,
                             QWidget *parent)
    : QWidget(parent), session(session), reader(new RecordReader(archive->databasePath(), this))
{
    // The form sets the page's type at 10 pt: the tab's 12-pt face leaves
    // too little room for the parameters and the snap list on this page.
    ui.setupUi(this);
    method = new MethodEditor({ui.freeAccelMethod, ui.freeAccelCounted, ui.freeAccelBand,
                               ui.freeAccelMaxSnaps, ui.freeAccelRejectDecreasing,
                               ui.freeAccelManualLimit, ui.freeAccelManualLimitK},
                              inUse, this);
    connect(method, &MethodEditor::chosen, this, &FreeAccelPage::methodChosen);
    // Made here, not by the form: the panel reads the vehicles on record.
    vehicle = new VehiclePanel(reader, this);
    ui.pageLayout->insertWidget(ui.pageLayout->indexOf(ui.freeAccelPrompt), vehicle);
    profile = new QLabel(this);
    profile->setObjectName(QStringLiteral("freeAccelProfile"));
    profile->setWordWrap(true);
    ui.pageLayout->insertWidget(ui.pageLayout->indexOf(vehicle), profile);
    // Tab goes through the panel's fields before the button that folds it,
    // as it always has on this page.
    QWidget *lastField = vehicle;
    for (QWidget *w = vehicle->nextInFocusChain(); vehicle->isAncestorOf(w); w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            lastField = w;
    QWidget::setTabOrder(lastField, ui.freeAccelVehicleToggle);
    ui.freeAccelSnaps->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    follow();
    followArchive(archive);
    showProfile();
    showState();
    showMissedSnaps();
    showSubject();
}

void FreeAccelPage::showMissedSnaps()
{
    // A page built after a series started shows what it found so far.
    const FreeAccelSeries &run = session->series();
    for (const Snap &snap : run.snaps())
        addSnapRow(snap);
    if (run.finished())
        markCounted(run.countedIndexes());
}

void FreeAccelPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void FreeAccelPage::retranslate()
{
    ui.retranslateUi(this);
    method->retranslate();
    showProfile();
    showState();
    showSubject();
}

void FreeAccelPage::follow()
{
    connect(ui.freeAccelStartButton, &QPushButton::clicked, this, &FreeAccelPage::startSeries);
    connect(ui.freeAccelStopButton, &QPushButton::clicked, this, &FreeAccelPage::stopSeries);
    connect(method, &MethodEditor::manualLimitChanged, this, &FreeAccelPage::showSubject);
    connect(vehicle, &VehiclePanel::changed, this, &FreeAccelPage::showSubject);
    connect(ui.freeAccelVehicleToggle, &QToolButton::toggled, this, &FreeAccelPage::showVehicle);

    connect(session, &LaneSession::profileChanged, this, [this] {
        showProfile();
        showSubject();
    });
    connect(session, &LaneSession::seriesStarted, this, &FreeAccelPage::seriesStarted);
    connect(session, &LaneSession::snapFound, this, &FreeAccelPage::addSnapRow);
    connect(session, &LaneSession::outletStarted, this, &FreeAccelPage::showState);
    connect(session, &LaneSession::readingTaken, this, &FreeAccelPage::readingTaken);
    connect(session, &LaneSession::seriesFinished, this, &FreeAccelPage::seriesEnded);
    connect(session, &LaneSession::seriesAbandoned, this, &FreeAccelPage::seriesEnded);
    connect(session, &LaneSession::resultsNotSaved, this, [this](const QString &reason) {
        Retranslate::text(ui.freeAccelFileStatus, [reason] { return tr("结果未保存：") + reason; });
    });
}

void FreeAccelPage::followArchive(RecordMaker *archive)
{
    connect(archive, &RecordMaker::recordKept, this, [this](const QString &, bool stored) {
        if (stored)
            Retranslate::text(ui.freeAccelRecordStatus, [] { return tr("记录已保存"); });
        ui.freeAccelRecordStatus->setStyleSheet(stored ? QString() : QStringLiteral("color: rgb(200, 0, 0);"));
    });
    connect(archive, &RecordMaker::recordStored, this, [this] {
        if (!ui.freeAccelRecordStatus->text().isEmpty())
            Retranslate::text(ui.freeAccelRecordStatus, [] { return tr("记录已保存"); });
        ui.freeAccelRecordStatus->setStyleSheet(QString());
    });
    connect(archive, &RecordMaker::storageProblem, this, [this](const QString &reason) {
        Retranslate::text(ui.freeAccelRecordStatus,
                          [reason] { return tr("记录未能存入数据库，已保留，稍后重试：%1").arg(reason); });
        ui.freeAccelRecordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    });
    connect(archive, &RecordMaker::databaseReplaced, this,
            [this](const QString &, const QString &message) {
                Retranslate::text(ui.freeAccelRecordStatus, [message] { return message; });
                ui.freeAccelRecordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
            });
}

TestSubject FreeAccelPage::subjectFromControls() const
{
    return settings::subjectFor(session->profile(), vehicle->vehicle(), vehicle->operatorName(),
                                method->manualLimit());
}

bool FreeAccelPage::english()
{
    return Language::current() == QLatin1String("en");
}

// The profile's title; one that cannot be used, in red with the reason,
// since every test is refused until it is mended. 自定义 shows nothing new.
void FreeAccelPage::showProfile()
{
    const ProcedureProfile &p = session->profile();
    profile->setVisible(!p.isCustom());
    profile->setText(p.usable() ? tr("检测方案：%1").arg(p.shownTitle(english()))
                                : tr("检测方案 %1 不能使用：%2").arg(p.id, p.refusal));
    profile->setStyleSheet(p.usable() ? QString() : QStringLiteral("color: rgb(200, 0, 0);"));
    if (!session->testRunning())
        method->fixRules(p.isCustom() ? std::nullopt : std::optional<FreeAccelMethod>(p.method));
}

// Which acceleration is due, by a profile's count: its purges first.
QString FreeAccelPage::duePrompt() const
{
    const FreeAccelSeries &run = session->series();
    if (!run.running())
        return QString();
    // The separator is the language's: "：" or ": ".
    const QString colon = tr("：");
    QString due;
    if (session->subject().vehicle.outlets > 1)
        due = tr("第 %1 排气管").arg(session->outlet() + 1) + colon;
    if (session->profile().isCustom())
        return due;
    const int next = run.snaps().size();
    const int purges = run.method().purges;
    return due + (next < purges ? tr("第 %1 次吹拂").arg(next + 1) : tr("第 %1 次测量").arg(next - purges + 1)) + colon;
}

void FreeAccelPage::showSubject()
{
    const TestSubject subject = session->testRunning() ? session->subject() : subjectFromControls();
    const LimitChoice &choice = subject.limit;
    // A profile's row names itself; a plate value is said as such.
    const QString source = choice.row.isEmpty() || choice.source == LimitSource::PlateValue
                               ? LimitChoice::sourceText(choice.source)
                               : session->profile().shownRowName(choice.row, english());
    ui.freeAccelLimit->setText(choice.hasLimit()
                           ? tr("限值 %1 m⁻¹（%2）").arg(choice.limitK, 0, 'f', 2).arg(source)
                           : tr("无限值"));
    const Vehicle &v = subject.vehicle;
    ui.freeAccelVehicle->setText(v.isServiceTest() ? tr("无车辆")
                                              : v.plate + (v.vin.isEmpty() ? QString()
                                                                           : QStringLiteral("　") + v.vin));
}

void FreeAccelPage::showVehicle(bool shown)
{
    vehicle->setVisible(shown);
    ui.freeAccelVehicleToggle->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
}

void FreeAccelPage::startSeries()
{
    if (session->testRunning() || !vehicle->confirmVin())
        return;
    QString whyNot;
    const TestSubject subject = subjectFromControls();
    if (!session->startTest(method->method(), subject, &whyNot)) {
        // Said again in a new language where the vehicle is at fault.
        Retranslate::text(ui.freeAccelRecordStatus, [subject, whyNot] {
            const QString fault = subject.normalised().fault();
            return fault.isEmpty() ? whyNot : fault;
        });
        ui.freeAccelRecordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
        return;
    }
    settings::storeLastOperator(session->subject().operatorName);
}

void FreeAccelPage::stopSeries()
{
    session->stopTest();
}

void FreeAccelPage::seriesStarted()
{
    ended.reset();
    ui.freeAccelSnaps->setRowCount(0);
    for (QLabel *status : {ui.freeAccelFileStatus, ui.freeAccelRecordStatus})
        Retranslate::text(status, [] { return QString(); });
    // The snaps need the room while the series runs.
    ui.freeAccelVehicleToggle->setChecked(false);
    showState();
    showSubject();
}

void FreeAccelPage::readingTaken(const LaneReading &reading)
{
    Q_UNUSED(reading);
    // The prompt follows the series' state, which only readings move.
    if (session->series().state() != shownState)
        showState();
}

void FreeAccelPage::addSnapRow(const Snap &snap)
{
    const int row = ui.freeAccelSnaps->rowCount();
    ui.freeAccelSnaps->insertRow(row);
    // Of several outlets, numbered by outlet; each outlet's series begins with its purges.
    const int inOutlet = row - session->snapsBefore();
    const QStringList texts = {
        session->subject().vehicle.outlets > 1 ? QStringLiteral("%1-%2").arg(session->outlet() + 1).arg(inOutlet + 1)
                                               : QString::number(row + 1),
        session->timeAt(snap.peakMs).toString(QStringLiteral("hh:mm:ss")),
        QString::number(snap.peakK, 'f', 2) + (snap.cutOff ? QStringLiteral(" *") : QString()),
        QString::number(snap.peakN, 'f', 1),
        inOutlet < session->series().method().purges ? tr("吹拂") : QString()};
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setTextAlignment(Qt::AlignCenter);
        ui.freeAccelSnaps->setItem(row, column, item);
    }
    ui.freeAccelSnaps->scrollToBottom();
}

void FreeAccelPage::seriesEnded(const FinishedSeries &outcome)
{
    ended = outcome;
    markCounted(outcome.countedIndexes);
    showState();
}

// The mean of the outlets and each outlet's result; the test is invalid
// when one has none or they lie too far apart.
QString FreeAccelPage::outletsResult() const
{
    QStringList each;
    for (double r : ended->outletResults)
        each << (std::isnan(r) ? QStringLiteral("—") : QString::number(r, 'f', 2));
    QString text = ended->valid() ? tr("结果 K = %1 m-1　有效").arg(ended->result, 0, 'f', 2) : tr("结果 K = —　无效");
    if (!ended->verdict.isEmpty())
        text += QStringLiteral("　") + shown(ended->verdict);
    return text + QStringLiteral("　") + tr("各排气管 %1").arg(each.join(QStringLiteral(" / ")));
}

void FreeAccelPage::markCounted(const QVector<int> &rows)
{
    const QColor countedColour(200, 235, 200);
    for (int row : rows) {
        ui.freeAccelSnaps->item(row, CountedColumn)->setText(QStringLiteral("✔"));
        for (int column = 0; column < ColumnCount; ++column)
            ui.freeAccelSnaps->item(row, column)->setBackground(countedColour);
    }
}

void FreeAccelPage::showState()
{
    const FreeAccelSeries &run = session->series();
    shownState = run.state();
    const bool running = run.running();
    method->setEditable(!running);
    vehicle->setEnabled(!running);
    ui.freeAccelStartButton->setEnabled(!running);
    ui.freeAccelStopButton->setEnabled(running);

    switch (run.state()) {
    case FreeAccelSeries::State::NotStarted:
        ui.freeAccelPrompt->setText(tr("按“开始”或 F5 开始测量"));
        break;
    case FreeAccelSeries::State::WaitingForIdle:
        ui.freeAccelPrompt->setText(duePrompt() + tr("怠速运转，等待读数稳定…"));
        break;
    case FreeAccelSeries::State::ReadyForSnap:
        ui.freeAccelPrompt->setText(duePrompt() + tr("请迅速将油门踩到底"));
        break;
    case FreeAccelSeries::State::InSnap:
        ui.freeAccelPrompt->setText(duePrompt() + tr("达到最高转速后松开油门，回到怠速"));
        break;
    case FreeAccelSeries::State::Valid:
        ui.freeAccelPrompt->setText(tr("测量完成"));
        break;
    case FreeAccelSeries::State::Invalid:
        ui.freeAccelPrompt->setText(tr("%1 次加速仍不满足要求，测量无效").arg(run.snaps().size()));
        break;
    case FreeAccelSeries::State::Abandoned:
        ui.freeAccelPrompt->setText(tr("测量已停止"));
        break;
    }

    QString text;
    if (ended && ended->subject.vehicle.outlets > 1) {
        text = outletsResult();
    } else if (run.state() == FreeAccelSeries::State::Valid) {
        text = tr("结果 K = %1 m-1　有效").arg(run.result(), 0, 'f', 2);
        if (!run.verdict().isEmpty())
            text += QStringLiteral("　") + shown(run.verdict());
    } else if (run.finished()) {
        text = tr("结果 K = —　无效");
    }
    ui.freeAccelResult->setText(text);
}
