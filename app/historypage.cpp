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
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/historymodel.h"
#include "app/retranslate.h"
#include "app/recorddetail.h"
#include "lane/testarchive.h"
#include "records/recordcsv.h"
#include "records/recordreader.h"
#include "report/recordreport.h"

namespace {

enum Request { ListRequest, ExportRequest, RecordRequest, SelectRequest, CheckRequest };

// Rows checked beyond those in view, so that a short scroll finds them done.
const int CheckMargin = 20;

} // namespace

QString HistoryPage::title()
{
    return tr("检测记录");
}

HistoryPage::HistoryPage(TestArchive *archive, QWidget *parent)
    : QWidget(parent), reader(new RecordReader(archive->databasePath(), this))
{
    setObjectName(QStringLiteral("historyPage"));
    QFont small = font();
    small.setPointSize(10);
    setFont(small);
    build();
    layOut();
    follow(archive);
}

void HistoryPage::build()
{
    search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("historySearch"));
    Retranslate::follow(search, "placeholderText", [] { return tr("号牌号码或VIN"); });
    search->setClearButtonEnabled(true);
    search->setMaximumWidth(260);
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
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("historyStatus"));
    status->setWordWrap(true);
    typing = new QTimer(this);
    typing->setSingleShot(true);
    typing->setInterval(250);
}

void HistoryPage::layOut()
{
    top = new QHBoxLayout;
    top->addWidget(search, 1);
    top->addWidget(verdict);
    top->addStretch();
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
    page->addWidget(status);
    pdfButton->setEnabled(false);
    printButton->setEnabled(false);
}

void HistoryPage::follow(TestArchive *archive)
{
    connect(archive, &TestArchive::recordStored, this, &HistoryPage::refresh);
    connect(search, &QLineEdit::textChanged, typing, [this] { typing->start(); });
    connect(typing, &QTimer::timeout, this, &HistoryPage::refresh);
    connect(verdict, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &HistoryPage::refresh);
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
}

void HistoryPage::nameVerdicts()
{
    const char *const names[] = {QT_TR_NOOP("全部判定"), QT_TR_NOOP("合格"), QT_TR_NOOP("不合格"),
                                 QT_TR_NOOP("无判定")};
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

void HistoryPage::refresh()
{
    const RecordFilter f = filter();
    reader->read<QVector<RecordSummary>>(
        ListRequest, [f](RecordStore &store) { return store.query(f); },
        [this](const QVector<RecordSummary> &rows, const QString &error) {
            const QString keep = selectedId;
            model->setRows(rows);
            QTimer::singleShot(0, this, &HistoryPage::checkShown);
            for (int i = 0; i < rows.size(); ++i)
                if (rows.at(i).id == keep)
                    view->selectRow(i);
            const int count = rows.size();
            if (!error.isEmpty())
                say([error] { return tr("无法读取检测记录：%1").arg(error); }, true);
            else
                say([count] { return tr("%n 条记录", nullptr, count); }, false);
            emit refreshed(rows.size());
        });
}

void HistoryPage::exportCsv(const QString &path)
{
    const RecordFilter f = filter();
    reader->read<QString>(
        ExportRequest,
        [f, path](RecordStore &store) {
            const QVector<RecordSummary> rows = store.query(f, true);
            QString error;
            if (store.fault() == RecordStore::Fault::None)
                RecordCsv::write(path, rows, &error);
            return error;
        },
        [this, path](const QString &writeError, const QString &readError) {
            const QString error = readError.isEmpty() ? writeError : readError;
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
    reader->read<QHash<QString, QStringList>>(
        CheckRequest, [ids](RecordStore &store) { return store.check(ids); },
        [this, ids](const QHash<QString, QStringList> &failed, const QString &error) {
            if (!error.isEmpty())
                return;
            model->setChecks(ids, failed);
            checkShown();
        });
}

void HistoryPage::withSelected(const std::function<void(const TestRecord &, bool)> &use)
{
    using Found = QPair<TestRecord, bool>;
    const QString id = selectedId;
    reader->read<Found>(
        RecordRequest,
        [id](RecordStore &store) {
            TestRecord record;
            QStringList differing;
            store.find(id, &record, &differing);
            return Found(record, !differing.isEmpty());
        },
        [this, use](const Found &found, const QString &error) {
            if (found.first.id.isEmpty())
                say([error] { return tr("无法读取检测记录：%1").arg(error); }, true);
            else
                use(found.first, found.second);
        });
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
