#ifndef APP_HISTORYPAGE_H
#define APP_HISTORYPAGE_H

#include <QWidget>

#include <functional>

#include "config/stationsettings.h"
#include "records/recordstore.h"

class HistoryModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;
class RecordMaker;
namespace station {
class HistorySource;
}

// The "检测记录" tab: the lane's records ("本机") or the whole station's
// from its server ("全站", with the lane of each), newest first, the tests
// or the daily checks, filtered by plate or VIN text, a date range and the
// verdict, sorted by any column. Reads go through connections of their own
// on another thread, so neither a long history, a locked file nor a server
// that does not answer holds up the window. Opening a record shows its
// report; the selected one can be exported as PDF or printed, the filtered
// list as CSV. The columns are set to fit the page's width.
class HistoryPage : public QWidget
{
    Q_OBJECT

public:
    HistoryPage(RecordMaker *recordMaker, QWidget *parent,
                const settings::StationServer &server = settings::storedStationServer());
    ~HistoryPage() override;

    static QString title();
    RecordFilter filter() const;
    bool showsStation() const;
    // The same filters, sort and origin as 'other' shows.
    void showAs(const HistoryPage &other);
    // "在新窗口中打开"; a page in a window of its own does not offer it.
    void offerNewWindow(bool offer);

public slots:
    void refresh();
    // "全站" (true) or "本机".
    void showStation(bool station);
    // The filtered list, read again with the records' JSON; exported()
    // says how it went.
    void exportCsv(const QString &path);
    void exportPdf(const QString &path);
    void openRecord(int row);

signals:
    void refreshed(int rows);
    void exported(const QString &path, const QString &error);
    void newWindowRequested();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void buildList();
    void buildChoices();
    void layOut();
    void follow(RecordMaker *recordMaker);
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
    void showRows(const QVector<RecordSummary> &rows, const QString &error, bool station);
    void fitColumns();

    station::HistorySource *source;
    HistoryModel *model = nullptr;
    RecordFilter::Sort sort = RecordFilter::Sort::Started;
    bool descending = true;
    QLineEdit *search = nullptr;
    QComboBox *verdict = nullptr;
    QComboBox *kind = nullptr;  // "检测" or "日常检查"
    QCheckBox *useDates = nullptr;
    QDateEdit *since = nullptr;
    QDateEdit *until = nullptr;
    QPushButton *csvButton = nullptr;
    QPushButton *pdfButton = nullptr;
    QPushButton *printButton = nullptr;
    QTableView *view = nullptr;
    QLabel *status = nullptr;
    QTimer *typing = nullptr;
    QPushButton *windowButton = nullptr;
    QRadioButton *laneButton = nullptr;
    QRadioButton *stationButton = nullptr;
    QPushButton *laneOffer = nullptr;  // when the station's records cannot be read
    QString selectedId;
};

#endif
