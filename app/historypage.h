#ifndef APP_HISTORYPAGE_H
#define APP_HISTORYPAGE_H

#include <QWidget>

#include <functional>

#include "records/recordstore.h"

class HistoryModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class RecordReader;
class TestArchive;

// The "检测记录" tab: the lane's records, newest first, filtered by plate or
// VIN text, a date range and the verdict, sorted by any column. Reads go
// through a read-only connection of its own on another thread, so neither
// a long history nor a locked file holds up the polling. Opening a record
// shows its report (snaps and K curve); the selected one can be exported
// as PDF or printed, the filtered list as CSV.
class HistoryPage : public QWidget
{
    Q_OBJECT

public:
    HistoryPage(TestArchive *archive, QWidget *parent);

    static QString title();
    RecordFilter filter() const;
    // The row above the list: filters on the left, room on the right for
    // a choice of where the records come from.
    QHBoxLayout *topRow() const { return top; }

public slots:
    void refresh();
    // The filtered list, read again with the records' JSON; exported()
    // says how it went.
    void exportCsv(const QString &path);
    void exportPdf(const QString &path);
    void openRecord(int row);

signals:
    void refreshed(int rows);
    void exported(const QString &path, const QString &error);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void layOut();
    void follow(TestArchive *archive);
    void sortBy(int column, Qt::SortOrder order);
    void selectRow(int row);
    void checkShown();
    // 'use' gets the record and whether its stored row failed its check.
    void withSelected(const std::function<void(const TestRecord &, bool)> &use);
    void askCsvPath();
    void askPdfPath();
    void print();
    // The status line; 'text' makes it again after a language change.
    void say(std::function<QString()> text, bool fault);
    void nameVerdicts();

    RecordReader *reader;
    HistoryModel *model = nullptr;
    RecordFilter::Sort sort = RecordFilter::Sort::Started;
    bool descending = true;
    QHBoxLayout *top = nullptr;
    QLineEdit *search = nullptr;
    QComboBox *verdict = nullptr;
    QCheckBox *useDates = nullptr;
    QDateEdit *since = nullptr;
    QDateEdit *until = nullptr;
    QPushButton *csvButton = nullptr;
    QPushButton *pdfButton = nullptr;
    QPushButton *printButton = nullptr;
    QTableView *view = nullptr;
    QLabel *status = nullptr;
    QTimer *typing = nullptr;
    QString selectedId;
};

#endif
