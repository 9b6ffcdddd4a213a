#ifndef APP_HISTORYWINDOW_H
#define APP_HISTORYWINDOW_H

#include <QWidget>

class HistoryPage;
class RecordMaker;

// The history in a window of its own, as large as a clerk searching a day's
// tests wants it; the tab goes on as before. It follows new records as the
// tab does, keeps its place and size in set.ini ([UI] HistoryWindow) and
// closes when the window it belongs to closes.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // The one history window of 'owner', made on the first call and shown
    // with what 'from' shows then.
    static HistoryWindow *open(QWidget *owner, RecordMaker *recordMaker, const HistoryPage *from);

    HistoryPage *page() const { return history; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HistoryWindow(QWidget *owner, RecordMaker *recordMaker);
    void place(QWidget *owner);

    HistoryPage *history;
};

#endif
