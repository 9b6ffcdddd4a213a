#ifndef APP_DAILYCHECKPAGE_H
#define APP_DAILYCHECKPAGE_H

#include <QWidget>

#include "lane/dailychecks.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class RecordMaker;

// The "日常检查" tab: the day's checks of the meter, each with its state
// today and a button to make it; the filter check offers the reference
// filters of set.ini. The checks themselves run in DailyChecks.
class DailyCheckPage : public QWidget
{
    Q_OBJECT

public:
    DailyCheckPage(DailyChecks *checks, RecordMaker *recordMaker, QWidget *parent = nullptr);

    static QString title();
    // set.ini lines the page names as unreadable (filters, rules).
    void setFaults(const QStringList &faults);

signals:
    // The response check is the response-time test of the data page.
    void responsePageWanted();

protected:
    void changeEvent(QEvent *event) override;

private:
    void build();
    void startCheck(CheckKind kind);
    void showState();
    void fillFilters();
    void showResult(const CheckResult &result);

    DailyChecks *checks;
    QGridLayout *grid = nullptr;
    QLabel *lockLabel = nullptr;
    QLabel *states[3] = {};
    QPushButton *buttons[3] = {};
    QComboBox *filterBox = nullptr;
    QPushButton *stopButton = nullptr;
    QLabel *progress = nullptr;
    QLabel *recordStatus = nullptr;
    QLabel *faultLabel = nullptr;
    QStringList faultLines;
    QVector<DailyChecks::Entry> today;
};

#endif
