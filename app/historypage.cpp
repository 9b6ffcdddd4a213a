#include "app/historypage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/historymodel.h"
#include "app/retranslate.h"
#include "app/recorddetail.h"
#include "lane/recordmaker.h"
#include "report/recordreport.h"
#include "station/historysource.h"

namespace {

// Rows checked beyond those in view, so that a short scroll finds them done.
const int CheckMargin = 20;

} // namespace

using Origin = station::HistorySource::Origin;

QString HistoryPage::title()
{
    return tr("检测记录");
}

HistoryPage::HistoryPage(RecordMaker *recordMaker, QWidget *parent, const settings::StationServer &server)
    : QWidget(parent), source(new station::HistorySource(recordMaker->databasePath(), server, this))
{
    setObjectName(QStringLiteral("historyPage"));
    QFont small = font();
    small.setPointSize(10);
    setFont(small);
    build();
    buildList();
    buildChoices();
    layOut();
    follow(recordMaker);
}

// Out of line, for the source's type.
HistoryPage::~HistoryPage() = default;

void HistoryPage::build()
{
    search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("historySearch"));
    Retranslate::follow(search, "placeholderText", [] { return tr("号牌号码或VIN"); });
    search->setClearButtonEnabled(true);
    search->setMaximumWidth(260);
    kind = new QComboBox(this);
    kind->setObjectName(QStringLiteral("historyKind"));
    kind->addItem(QString(), QStringLiteral("test"));
    kind->addItem(QString(), QStringLiteral("check"));
    verdict = new QComboBox(this);
    verdict->setObjectName(QStringLiteral("historyVerdict"));
    for (const QString &code : {QString(), QStringLiteral("pass"), QStringLiteral("fail"), QStringLiteral("none")})
        verdict->addItem(QString(), code);
    nameVerdicts();
    useDates = new QCheckBox(this);
    Retranslate::text(useDates, [] { return tr("日期"); });
    useDates->setObjectName(QStringLiteral("historyUseDates"));
    since = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    until = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit *edit : {since, until}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    since->setObjectName(QStringLiteral("historySince"));
    until->setObjectName(QStringLiteral("historyUntil"));
    csvButton = new QPushButton(this);
    Retranslate::text(csvButton, [] { return tr("导出CSV"); });
    pdfButton = new QPushButton(this);
    Retranslate::text(pdfButton, [] { return tr("导出PDF"); });
    printButton = new QPushButton(this);
    Retranslate::text(printButton, [] { return tr("打印"); });
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("historyStatus"));
    status->setWordWrap(true);
    typing = new QTimer(this);
    typing->setSingleShot(true);
    typing->setInterval(250);
}

void HistoryPage::buildList()
{
    model = new HistoryModel(this);
    view = new QTableView(this);
    view->setObjectName(QStringLiteral("historyView"));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setSortIndicatorShown(true);
    view->horizontalHeader()->setSectionsClickable(true);
    view->horizontalHeader()->setSortIndicator(HistoryModel::Time, Qt::DescendingOrder);
    // Set by fitColumns(), so that the columns share the page's width
    // rather than the list scrolling sideways.
    view->horizontalHeader()->setStretchLastSection(true);
    // Qt's own least width is wider than a short number or "R24".
    view->horizontalHeader()->setMinimumSectionSize(16);
    // The station's lane beside the time, the first a clerk looks for.
    view->horizontalHeader()->moveSection(HistoryModel::Lane, HistoryModel::Plate);
    view->setColumnHidden(HistoryModel::Lane, true);
    view->installEventFilter(this);
}

void HistoryPage::buildChoices()
{
    windowButton = new QPushButton(this);
    windowButton->setObjectName(QStringLiteral("historyNewWindow"));
    Retranslate::text(windowButton, [] { return tr("在新窗口中打开"); });
    laneButton = new QRadioButton(this);
    laneButton->setObjectName(QStringLiteral("historyLane"));
    Retranslate::text(laneButton, [] { return tr("本机"); });
    laneButton->setChecked(true);
    stationButton = new QRadioButton(this);
    stationButton->setObjectName(QStringLiteral("historyStation"));
    Retranslate::text(stationButton, [] { return tr("全站"); });
    laneOffer = new QPushButton(this);
    laneOffer->setObjectName(QStringLiteral("historyLaneOffer"));
    Retranslate::text(laneOffer, [] { return tr("查看本机记录"); });
    laneOffer->hide();
}

void HistoryPage::layOut()
{
    auto *top = new QHBoxLayout;
    top->addWidget(search, 1);
    top->addWidget(kind);
    top->addWidget(verdict);
    top->addStretch();
    top->addWidget(windowButton);
    top->addSpacing(6);
    top->addWidget(laneButton);
    top->addWidget(stationButton);
    auto *second = new QHBoxLayout;
    second->addWidget(useDates);
    second->addWidget(since);
    auto *to = new QLabel(this);
    Retranslate::text(to, [] { return tr("至"); });
    second->addWidget(to);
    second->addWidget(until);
    second->addStretch();
    second->addWidget(csvButton);
    second->addWidget(pdfButton);
    second->addWidget(printButton);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 12);
    page->setSpacing(4);
    page->addLayout(top);
    page->addLayout(second);
    page->addWidget(view, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(status, 1);
    bottom->addWidget(laneOffer);
    page->addLayout(bottom);
    pdfButton->setEnabled(false);
    printButton->setEnabled(false);
}

void HistoryPage::follow(RecordMaker *recordMaker)
{
    connect(recordMaker, &RecordMaker::recordStored, this, &HistoryPage::refresh);
    connect(search, &QLineEdit::textChanged, typing, [this] { typing->start(); });
    connect(typing, &QTimer::timeout, this, &HistoryPage::refresh);
    connect(verdict, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &HistoryPage::refresh);
    connect(kind, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &HistoryPage::refresh);
    connect(useDates, &QCheckBox::toggled, this, [this](bool on) {
        since->setEnabled(on);
        until->setEnabled(on);
        refresh();
    });
    connect(since, &QDateEdit::dateChanged, this, &HistoryPage::refresh);
    connect(until, &QDateEdit::dateChanged, this, &HistoryPage::refresh);
    connect(view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &HistoryPage::sortBy);
    connect(view, &QTableView::activated, this, [this](const QModelIndex &i) { openRecord(i.row()); });
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { selectRow(current.row()); });
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &HistoryPage::checkShown);
    connect(csvButton, &QPushButton::clicked, this, &HistoryPage::askCsvPath);
    connect(pdfButton, &QPushButton::clicked, this, &HistoryPage::askPdfPath);
    connect(printButton, &QPushButton::clicked, this, &HistoryPage::print);
    connect(windowButton, &QPushButton::clicked, this, &HistoryPage::newWindowRequested);
    connect(stationButton, &QRadioButton::toggled, this, &HistoryPage::showStation);
    connect(laneOffer, &QPushButton::clicked, this, [this] { showStation(false); });
}

void HistoryPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        nameVerdicts();
        // The headers and the verdicts in the rows are made when drawn.
        emit model->headerDataChanged(Qt::Horizontal, 0, HistoryModel::ColumnCount - 1);
        if (model->rowCount() > 0)
            emit model->dataChanged(model->index(0, 0),
                                    model->index(model->rowCount() - 1, HistoryModel::ColumnCount - 1));
    }
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        fitColumns();
}

bool HistoryPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

void HistoryPage::nameVerdicts()
{
    const char *const names[] = {QT_TR_NOOP("全部判定"), QT_TR_NOOP("合格"), QT_TR_NOOP("不合格"),
                                 QT_TR_NOOP("无判定")};
    kind->setItemText(0, tr("检测"));
    kind->setItemText(1, tr("日常检查"));
    for (int i = 0; i < verdict->count(); ++i)
        verdict->setItemText(i, tr(names[i]));
}

void HistoryPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

RecordFilter HistoryPage::filter() const
{
    RecordFilter f;
    f.text = search->text().trimmed();
    f.verdict = verdict->currentData().toString();
    f.kind = kind->currentData().toString();
    if (useDates->isChecked()) {
        f.since = since->date();
        f.until = until->date();
    }
    f.sort = sort;
    f.descending = descending;
    return f;
}

void HistoryPage::sortBy(int column, Qt::SortOrder order)
{
    sort = RecordFilter::Sort(column);
    descending = order == Qt::DescendingOrder;
    refresh();
}

bool HistoryPage::showsStation() const
{
    return source->origin() == Origin::Station;
}

void HistoryPage::showStation(bool station)
{
    // The buttons follow a call from elsewhere; their signal is this slot.
    const QSignalBlocker quiet(stationButton);
    (station ? stationButton : laneButton)->setChecked(true);
    if (station == showsStation())
        return;
    source->setOrigin(station ? Origin::Station : Origin::Lane);
    view->setColumnHidden(HistoryModel::Lane, !station);
    model->setRows({});
    selectRow(-1);
    refresh();
}

void HistoryPage::showAs(const HistoryPage &other)
{
    search->setText(other.search->text());
    verdict->setCurrentIndex(other.verdict->currentIndex());
    kind->setCurrentIndex(other.kind->currentIndex());
    since->setDate(other.since->date());
    until->setDate(other.until->date());
    useDates->setChecked(other.useDates->isChecked());
    view->horizontalHeader()->setSortIndicator(int(other.sort),
                                               other.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    showStation(other.showsStation());
    refresh();
}

void HistoryPage::offerNewWindow(bool offer)
{
    windowButton->setVisible(offer);
}

void HistoryPage::refresh()
{
    const bool station = showsStation();
    source->list(filter(), [this, station](const QVector<RecordSummary> &rows, const QString &error) {
        showRows(rows, error, station);
    });
}

void HistoryPage::showRows(const QVector<RecordSummary> &rows, const QString &error, bool station)
{
    const QString keep = selectedId;
    model->setRows(rows);
    QTimer::singleShot(0, this, &HistoryPage::checkShown);
    for (int i = 0; i < rows.size(); ++i)
        if (rows.at(i).id == keep)
            view->selectRow(i);
    fitColumns();
    const int count = rows.size();
    laneOffer->setVisible(station && !error.isEmpty());
    if (station && !source->stationSet())
        say([] { return tr("未设置站端数据库，无法查看全站记录（设置 → 数据库）"); }, true);
    else if (station && !error.isEmpty())
        say([error] { return tr("站端数据库无法访问：%1").arg(error); }, true);
    else if (!error.isEmpty())
        say([error] { return tr("无法读取检测记录：%1").arg(error); }, true);
    else if (station)
        say([count] { return tr("全站 %n 条记录", nullptr, count); }, false);
    else
        say([count] { return tr("%n 条记录", nullptr, count); }, false);
    emit refreshed(rows.size());
}

void HistoryPage::exportCsv(const QString &path)
{
    source->exportCsv(filter(), path, [this, path](const QString &error) {
        say([path, error] {
            return error.isEmpty() ? tr("已导出 %1").arg(path) : tr("无法导出 %1：%2").arg(path, error);
        }, !error.isEmpty());
        emit exported(path, error);
    });
}

// The rows in view (and a few beyond) are checked against their hash on
// the reader's thread: the whole of a long history would cost seconds.
void HistoryPage::checkShown()
{
    const int top = qMax(0, view->rowAt(0));
    int bottom = view->rowAt(view->viewport()->height() - 1);
    if (bottom < 0)
        bottom = model->rowCount() - 1;
    const QStringList ids = model->unchecked(top, qMin(bottom, top + 200) + CheckMargin);
    if (ids.isEmpty())
        return;
    source->check(ids, [this, ids](const QHash<QString, QStringList> &failed, const QString &error) {
        if (!error.isEmpty())
            return;
        model->setChecks(ids, failed);
        checkShown();
    });
}

void HistoryPage::withSelected(const std::function<void(const TestRecord &, bool)> &use)
{
    source->find(selectedId, [this, use](const TestRecord &record, bool failed, const QString &error) {
        if (record.id.isEmpty())
            say([error] { return tr("无法读取检测记录：%1").arg(error); }, true);
        else
            use(record, failed);
    });
}

// Each column as wide as its widest text (a header's sort mark counted only
// where it shows), unless together they are wider than the list: then the
// columns give up room in this order, each down to a few characters, the
// VIN first and the plate last, the numbers and the verdict never; a text
// cut short shows whole as its tooltip.
void HistoryPage::fitColumns()
{
    QHeaderView *header = view->horizontalHeader();
    const QAbstractItemView *list = view;  // where the widest text is public
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int mark = header->sizeHint().height() + margin;
    QVector<int> width(HistoryModel::ColumnCount, 0);
    int excess = -(view->maximumViewportSize().width() - view->verticalScrollBar()->sizeHint().width());
    for (int c = 0; c < HistoryModel::ColumnCount; ++c) {
        if (view->isColumnHidden(c))
            continue;
        const QString title = model->headerData(c, Qt::Horizontal).toString();
        const int head = header->fontMetrics().horizontalAdvance(title) + 2 * margin
                         + (c == header->sortIndicatorSection() ? mark : 0);
        width[c] = qMax(list->sizeHintForColumn(c), head);
        excess += width[c];
    }
    const int least = view->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 2 * margin;
    for (int c : {HistoryModel::Vin, HistoryModel::Operator, HistoryModel::Method, HistoryModel::Lane,
                  HistoryModel::Time, HistoryModel::Plate}) {
        const int give = qBound(0, width[c] - least, qMax(0, excess));
        width[c] -= give;
        excess -= give;
    }
    for (int c = 0; c < HistoryModel::ColumnCount; ++c)
        if (!view->isColumnHidden(c))
            header->resizeSection(c, width[c]);
}

void HistoryPage::selectRow(int row)
{
    selectedId = row >= 0 && row < model->rowCount() ? model->row(row).id : QString();
    pdfButton->setEnabled(!selectedId.isEmpty());
    printButton->setEnabled(!selectedId.isEmpty());
}

void HistoryPage::openRecord(int row)
{
    selectRow(row);
    if (selectedId.isEmpty())
        return;
    withSelected([this](const TestRecord &record, bool failed) {
        (new RecordDetail(record, this, failed))->show();
    });
}

void HistoryPage::exportPdf(const QString &path)
{
    withSelected([this, path](const TestRecord &record, bool failed) {
        QString error;
        RecordReport page(record);
        page.markCheckFailed(failed);
        const bool written = page.writePdf(path, &error);
        say([written, path, error] { return written ? tr("已导出 %1").arg(path) : error; }, !written);
        emit exported(path, written ? QString() : error);
    });
}

void HistoryPage::askCsvPath()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("导出CSV"),
                                                      QStringLiteral("records.csv"),
                                                      tr("CSV 文件 (*.csv)"));
    if (!path.isEmpty())
        exportCsv(path);
}

void HistoryPage::askPdfPath()
{
    if (selectedId.isEmpty())
        return;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("导出PDF"), selectedId.left(8) + QStringLiteral(".pdf"), tr("PDF 文件 (*.pdf)"));
    if (!path.isEmpty())
        exportPdf(path);
}

void HistoryPage::print()
{
    if (selectedId.isEmpty())
        return;
    withSelected([this](const TestRecord &record, bool failed) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QPrintDialog dialog(&printer, this);
        RecordReport page(record);
        page.markCheckFailed(failed);
        if (dialog.exec() == QDialog::Accepted)
            page.render(&printer);
    });
}

void HistoryPage::say(std::function<QString()> text, bool fault)
{
    Retranslate::text(status, std::move(text));
    status->setStyleSheet(fault ? QStringLiteral("color: rgb(200, 0, 0);") : QString());
}
