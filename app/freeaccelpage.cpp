#include "app/freeaccelpage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/retranslate.h"
#include "app/vehiclepanel.h"
#include "config/limitsettings.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "lane/lanesession.h"
#include "lane/testarchive.h"
#include "records/recordreader.h"

namespace {

enum Column { NumberColumn, TimeColumn, PeakKColumn, PeakNColumn, CountedColumn, ColumnCount };

const char *const ColumnTitles[ColumnCount] = {
    QT_TRANSLATE_NOOP("FreeAccelPage", "序号"), QT_TRANSLATE_NOOP("FreeAccelPage", "时间"),
    QT_TRANSLATE_NOOP("FreeAccelPage", "峰值K(m-1)"), QT_TRANSLATE_NOOP("FreeAccelPage", "峰值N(%)"),
    QT_TRANSLATE_NOOP("FreeAccelPage", "计入")};

// Names and verdicts the series keeps in its own words (they go into the
// results file as they are); only the page shows them translated.
const char *const SeriesWords[] = {
    QT_TRANSLATE_NOOP("FreeAccelPage", "三次平均"), QT_TRANSLATE_NOOP("FreeAccelPage", "自定义"),
    QT_TRANSLATE_NOOP("FreeAccelPage", "合格"), QT_TRANSLATE_NOOP("FreeAccelPage", "不合格")};

QString shown(const QString &seriesWord)
{
    return QCoreApplication::translate("FreeAccelPage", seriesWord.toUtf8().constData());
}

// The widget's text, translated, with its source kept for a language change.
template<class W>
W *translated(W *widget, const char *source)
{
    widget->setProperty("sourceText", QByteArray(source));
    widget->setText(QCoreApplication::translate("FreeAccelPage", source));
    return widget;
}

QLabel *caption(const char *source, QWidget *parent)
{
    return translated(new QLabel(parent), source);
}

} // namespace

QString FreeAccelPage::title()
{
    return tr("自由加速");
}

FreeAccelPage::FreeAccelPage(LaneSession *session, TestArchive *archive, const FreeAccelMethod &inUse,
                             QWidget *parent)
    : QWidget(parent), session(session), reader(new RecordReader(archive->databasePath(), this))
{
    setObjectName(QStringLiteral("freeAccelPage"));
    // The tab's 12-pt face leaves too little room for the parameters and
    // the snap list on this page.
    QFont small = font();
    small.setPointSize(10);
    setFont(small);

    buildRules();
    buildOutcome();
    buildVehicle();
    layOut();
    follow();
    followArchive(archive);
    showMethod(inUse);
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
    for (QWidget *w : findChildren<QWidget *>()) {
        const QByteArray source = w->property("sourceText").toByteArray();
        if (!source.isEmpty())
            w->setProperty("text", QCoreApplication::translate("FreeAccelPage", source.constData()));
    }
    for (int column = 0; column < ColumnCount; ++column)
        snapTable->horizontalHeaderItem(column)->setText(tr(ColumnTitles[column]));
    for (int i = 0; i < preset->count(); ++i)
        preset->setItemText(i, shown(preset->itemData(i).toString()));
    showState();
    showSubject();
}

void FreeAccelPage::buildRules()
{
    preset = new QComboBox(this);
    for (const FreeAccelMethod &m : FreeAccelMethod::presets())
        preset->addItem(shown(m.name), m.name);
    preset->addItem(shown(FreeAccelMethod::CustomName), FreeAccelMethod::CustomName);
    counted = new QSpinBox(this);
    counted->setRange(1, 10);
    band = new QDoubleSpinBox(this);
    band->setRange(0.01, 10.0);
    band->setSingleStep(0.05);
    band->setSuffix(QStringLiteral(" m-1"));
    maxSnaps = new QSpinBox(this);
    maxSnaps->setRange(1, 50);
    rejectDecreasing = translated(new QCheckBox(this), QT_TR_NOOP("递减序列无效"));
    // A limit set here overrides the vehicle's and the table's.
    useLimit = translated(new QCheckBox(this), QT_TR_NOOP("手动"));
    useLimit->setObjectName(QStringLiteral("freeAccelManualLimit"));
    limit = new QDoubleSpinBox(this);
    limit->setRange(0.0, 10.0);
    limit->setSingleStep(0.05);
    limit->setSuffix(QStringLiteral(" m-1"));
    limitText = new QLabel(this);
    limitText->setObjectName(QStringLiteral("freeAccelLimit"));

    startButton = translated(new QPushButton(this), QT_TR_NOOP("开始 (F5)"));
    startButton->setObjectName(QStringLiteral("freeAccelStartButton"));
    stopButton = translated(new QPushButton(this), QT_TR_NOOP("停止"));
    stopButton->setObjectName(QStringLiteral("freeAccelStopButton"));
    // Like the form's buttons, from image files in the working folder.
    startButton->setIcon(QIcon(QStringLiteral("ang.png")));
    stopButton->setIcon(QIcon(QStringLiteral("time.png")));
}

void FreeAccelPage::buildOutcome()
{
    prompt = new QLabel(this);
    prompt->setObjectName(QStringLiteral("freeAccelPrompt"));
    QFont big = font();
    big.setPointSize(15);
    big.setBold(true);
    prompt->setFont(big);
    prompt->setAlignment(Qt::AlignCenter);
    prompt->setStyleSheet(QStringLiteral("color: rgb(0, 100, 200);"));

    snapTable = new QTableWidget(0, ColumnCount, this);
    snapTable->setObjectName(QStringLiteral("freeAccelSnaps"));
    QStringList titles;
    for (const char *title : ColumnTitles)
        titles << tr(title);
    snapTable->setHorizontalHeaderLabels(titles);
    snapTable->verticalHeader()->hide();
    snapTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    snapTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    snapTable->setSelectionMode(QAbstractItemView::NoSelection);
    snapTable->setFocusPolicy(Qt::NoFocus);

    result = new QLabel(this);
    result->setObjectName(QStringLiteral("freeAccelResult"));
    QFont bold = font();
    bold.setPointSize(12);
    bold.setBold(true);
    result->setFont(bold);
    fileStatus = new QLabel(this);
    fileStatus->setObjectName(QStringLiteral("freeAccelFileStatus"));
    fileStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    recordStatus = new QLabel(this);
    recordStatus->setObjectName(QStringLiteral("freeAccelRecordStatus"));
    recordStatus->setWordWrap(true);
}

void FreeAccelPage::buildVehicle()
{
    vehicle = new VehiclePanel(reader, this);
    vehicleToggle = new QToolButton(this);
    vehicleToggle->setObjectName(QStringLiteral("freeAccelVehicleToggle"));
    translated(vehicleToggle, QT_TR_NOOP("车辆"));
    vehicleToggle->setCheckable(true);
    vehicleToggle->setChecked(true);
    vehicleToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    vehicleToggle->setArrowType(Qt::DownArrow);
    vehicleSummary = new QLabel(this);
    vehicleSummary->setObjectName(QStringLiteral("freeAccelVehicle"));
}

void FreeAccelPage::layOut()
{
    auto *rules = new QHBoxLayout;
    rules->addWidget(caption(QT_TR_NOOP("方法"), this));
    rules->addWidget(preset);
    rules->addWidget(caption(QT_TR_NOOP("计入次数"), this));
    rules->addWidget(counted);
    rules->addWidget(caption(QT_TR_NOOP("带宽"), this));
    rules->addWidget(band);
    rules->addWidget(caption(QT_TR_NOOP("最多次数"), this));
    rules->addWidget(maxSnaps);
    rules->addStretch();
    auto *actions = new QHBoxLayout;
    actions->addWidget(rejectDecreasing);
    actions->addWidget(useLimit);
    actions->addWidget(limit);
    actions->addWidget(limitText);
    actions->addStretch();
    actions->addWidget(startButton);
    actions->addWidget(stopButton);
    auto *vehicleRow = new QHBoxLayout;
    vehicleRow->addWidget(vehicleToggle);
    vehicleRow->addWidget(vehicleSummary, 1);
    auto *outcome = new QHBoxLayout;
    outcome->addWidget(result, 1);
    outcome->addWidget(fileStatus);
    auto *page = new QVBoxLayout(this);
    // The tab widget reaches below the window's edge; keep the result clear of it.
    page->setContentsMargins(8, 6, 8, 12);
    page->setSpacing(4);
    page->addLayout(rules);
    page->addLayout(actions);
    page->addLayout(vehicleRow);
    page->addWidget(vehicle);
    page->addWidget(prompt);
    page->addWidget(snapTable, 1);
    page->addLayout(outcome);
    page->addWidget(recordStatus);
}

void FreeAccelPage::follow()
{
    connect(startButton, &QPushButton::clicked, this, &FreeAccelPage::startSeries);
    connect(stopButton, &QPushButton::clicked, this, &FreeAccelPage::stopSeries);
    connect(preset, QOverload<int>::of(&QComboBox::activated), this, &FreeAccelPage::choosePreset);
    const auto edited = &FreeAccelPage::parametersEdited;
    connect(counted, QOverload<int>::of(&QSpinBox::valueChanged), this, edited);
    connect(maxSnaps, QOverload<int>::of(&QSpinBox::valueChanged), this, edited);
    connect(band, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, edited);
    connect(limit, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, edited);
    connect(rejectDecreasing, &QCheckBox::toggled, this, edited);
    connect(useLimit, &QCheckBox::toggled, this, edited);
    connect(limit, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &FreeAccelPage::showSubject);
    connect(useLimit, &QCheckBox::toggled, this, &FreeAccelPage::showSubject);
    connect(vehicle, &VehiclePanel::changed, this, &FreeAccelPage::showSubject);
    connect(vehicleToggle, &QToolButton::toggled, this, &FreeAccelPage::showVehicle);

    connect(session, &LaneSession::seriesStarted, this, &FreeAccelPage::seriesStarted);
    connect(session, &LaneSession::snapFound, this, &FreeAccelPage::addSnapRow);
    connect(session, &LaneSession::readingTaken, this, &FreeAccelPage::readingTaken);
    connect(session, &LaneSession::seriesFinished, this, &FreeAccelPage::seriesEnded);
    connect(session, &LaneSession::seriesAbandoned, this, &FreeAccelPage::seriesEnded);
    connect(session, &LaneSession::resultsNotSaved, this, [this](const QString &reason) {
        Retranslate::text(fileStatus, [reason] { return tr("结果未保存：") + reason; });
    });
}

void FreeAccelPage::followArchive(TestArchive *archive)
{
    connect(archive, &TestArchive::recordKept, this, [this](const QString &, bool stored) {
        if (stored)
            Retranslate::text(recordStatus, [] { return tr("记录已保存"); });
        recordStatus->setStyleSheet(stored ? QString() : QStringLiteral("color: rgb(200, 0, 0);"));
    });
    connect(archive, &TestArchive::recordStored, this, [this] {
        if (!recordStatus->text().isEmpty())
            Retranslate::text(recordStatus, [] { return tr("记录已保存"); });
        recordStatus->setStyleSheet(QString());
    });
    connect(archive, &TestArchive::storageProblem, this, [this](const QString &reason) {
        Retranslate::text(recordStatus,
                          [reason] { return tr("记录未能存入数据库，已保留，稍后重试：%1").arg(reason); });
        recordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    });
    connect(archive, &TestArchive::databaseReplaced, this,
            [this](const QString &, const QString &message) {
                Retranslate::text(recordStatus, [message] { return message; });
                recordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
            });
}

TestSubject FreeAccelPage::subjectFromControls() const
{
    std::optional<double> manual;
    if (useLimit->isChecked())
        manual = limit->value();
    return TestSubject::of(vehicle->vehicle(), vehicle->operatorName(),
                           settings::storedLimitsTable(), manual);
}

void FreeAccelPage::showSubject()
{
    const TestSubject subject = session->testRunning() ? session->subject() : subjectFromControls();
    const LimitChoice &choice = subject.limit;
    limitText->setText(choice.hasLimit()
                           ? tr("限值 %1 m⁻¹（%2）")
                                 .arg(choice.limitK, 0, 'f', 2)
                                 .arg(LimitChoice::sourceText(choice.source))
                           : tr("无限值"));
    const Vehicle &v = subject.vehicle;
    vehicleSummary->setText(v.isServiceTest() ? tr("无车辆")
                                              : v.plate + (v.vin.isEmpty() ? QString()
                                                                           : QStringLiteral("　") + v.vin));
}

void FreeAccelPage::showVehicle(bool shown)
{
    vehicle->setVisible(shown);
    vehicleToggle->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
}

void FreeAccelPage::showMethod(const FreeAccelMethod &method)
{
    showingMethod = true;
    int index = preset->findData(method.name);
    if (index < 0)
        index = preset->count() - 1;
    preset->setCurrentIndex(index);
    counted->setValue(method.counted);
    band->setValue(method.band);
    maxSnaps->setMinimum(method.counted);
    maxSnaps->setValue(method.maxSnaps);
    rejectDecreasing->setChecked(method.rejectDecreasing);
    useLimit->setChecked(method.hasLimit);
    limit->setValue(method.limitK);
    limit->setEnabled(method.hasLimit);
    showingMethod = false;
}

FreeAccelMethod FreeAccelPage::methodFromControls() const
{
    FreeAccelMethod m;
    m.name = preset->currentData().toString();
    m.counted = counted->value();
    m.band = band->value();
    m.maxSnaps = maxSnaps->value();
    m.rejectDecreasing = rejectDecreasing->isChecked();
    m.hasLimit = useLimit->isChecked();
    m.limitK = limit->value();
    return m;
}

void FreeAccelPage::choosePreset(int index)
{
    FreeAccelMethod chosen = methodFromControls();
    const QList<FreeAccelMethod> presets = FreeAccelMethod::presets();
    if (index >= 0 && index < presets.size()) {
        const FreeAccelMethod &p = presets.at(index);
        chosen.name = p.name;
        chosen.counted = p.counted;
        chosen.band = p.band;
        chosen.rejectDecreasing = p.rejectDecreasing;
        chosen.maxSnaps = p.maxSnaps;
    }
    showMethod(chosen);
    emit methodChosen(chosen.bounded());
}

void FreeAccelPage::parametersEdited()
{
    if (showingMethod)
        return;
    // Rules edited away from a preset are no longer that preset, and the
    // results file must not say they were.
    FreeAccelMethod m = methodFromControls();
    m.name = FreeAccelMethod::CustomName;
    for (const FreeAccelMethod &p : FreeAccelMethod::presets())
        if (m.sameRules(p))
            m.name = p.name;
    showMethod(m);
    emit methodChosen(m.bounded());
}

void FreeAccelPage::startSeries()
{
    if (session->testRunning() || !vehicle->confirmVin())
        return;
    QString whyNot;
    const TestSubject subject = subjectFromControls();
    if (!session->startTest(methodFromControls(), subject, &whyNot)) {
        // Said again in a new language where the vehicle is at fault.
        Retranslate::text(recordStatus, [subject, whyNot] {
            const QString fault = subject.normalised().fault();
            return fault.isEmpty() ? whyNot : fault;
        });
        recordStatus->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
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
    // The page sits in its tab's holder, which sits in the tab widget's stack.
    for (QWidget *tab = this; tab && tab->parentWidget(); tab = tab->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(tab->parentWidget()->parentWidget())) {
            tabs->setCurrentWidget(tab);
            break;
        }
    }
    snapTable->setRowCount(0);
    for (QLabel *status : {fileStatus, recordStatus})
        Retranslate::text(status, [] { return QString(); });
    // The snaps need the room while the series runs.
    vehicleToggle->setChecked(false);
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
    const int row = snapTable->rowCount();
    snapTable->insertRow(row);
    const QStringList texts = {
        QString::number(row + 1),
        session->timeAt(snap.peakMs).toString(QStringLiteral("hh:mm:ss")),
        QString::number(snap.peakK, 'f', 2) + (snap.cutOff ? QStringLiteral(" *") : QString()),
        QString::number(snap.peakN, 'f', 1), QString()};
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setTextAlignment(Qt::AlignCenter);
        snapTable->setItem(row, column, item);
    }
    snapTable->scrollToBottom();
}

void FreeAccelPage::seriesEnded(const SeriesOutcome &outcome)
{
    markCounted(outcome.countedIndexes);
    showState();
}

void FreeAccelPage::markCounted(const QVector<int> &rows)
{
    const QColor countedColour(200, 235, 200);
    for (int row : rows) {
        snapTable->item(row, CountedColumn)->setText(QStringLiteral("✔"));
        for (int column = 0; column < ColumnCount; ++column)
            snapTable->item(row, column)->setBackground(countedColour);
    }
}

void FreeAccelPage::showState()
{
    const FreeAccelSeries &run = session->series();
    shownState = run.state();
    const bool running = run.running();
    for (QWidget *w : std::initializer_list<QWidget *>{preset, counted, band, maxSnaps,
                                                       rejectDecreasing, useLimit, vehicle})
        w->setEnabled(!running);
    limit->setEnabled(!running && useLimit->isChecked());
    startButton->setEnabled(!running);
    stopButton->setEnabled(running);

    switch (run.state()) {
    case FreeAccelSeries::State::NotStarted:
        prompt->setText(tr("按“开始”或 F5 开始测量"));
        break;
    case FreeAccelSeries::State::WaitingForIdle:
        prompt->setText(tr("怠速运转，等待读数稳定…"));
        break;
    case FreeAccelSeries::State::ReadyForSnap:
        prompt->setText(tr("请迅速将油门踩到底"));
        break;
    case FreeAccelSeries::State::InSnap:
        prompt->setText(tr("达到最高转速后松开油门，回到怠速"));
        break;
    case FreeAccelSeries::State::Valid:
        prompt->setText(tr("测量完成"));
        break;
    case FreeAccelSeries::State::Invalid:
        prompt->setText(tr("%1 次加速仍不满足要求，测量无效").arg(run.snaps().size()));
        break;
    case FreeAccelSeries::State::Abandoned:
        prompt->setText(tr("测量已停止"));
        break;
    }

    QString text;
    if (run.state() == FreeAccelSeries::State::Valid) {
        text = tr("结果 K = %1 m-1　有效").arg(run.result(), 0, 'f', 2);
        if (!run.verdict().isEmpty())
            text += QStringLiteral("　") + shown(run.verdict());
    } else if (run.finished()) {
        text = tr("结果 K = —　无效");
    }
    result->setText(text);
}
