#ifndef TESTS_WINDOWACCESS_H
#define TESTS_WINDOWACCESS_H

#include "app/lazytab.h"
#include "app/mainwindow.h"

// The main window keeps its state private; tests read and steer it through
// this one friend instead of widening the window's interface.
class MainWindowTestAccess
{
public:
    explicit MainWindowTestAccess(mainwindow &w) : w(w) {}
    mainwindow &w;

    Ui::mainwindowClass &ui() { return w.ui; }
    QTimer *pollTimer() { return w.pollTimer; }
    bool serverConnected() const { return w.serverConnected; }
    LaneSession *session() { return w.session; }

    void setNoticeDelay(int ms) { w.noticeDelayMs = ms; }
    void showConnectionNotice() { w.showConnectionNotice(); }
    void seraildata(const QByteArray &frame) { w.seraildata(frame); }
    void loadmem() { w.loadmem(); }
    void autosend() { w.autosend(); }

    // Brings a page's tab to the front, which builds the page.
    template <class Page>
    Page *showPage(const char *tabName)
    {
        auto *tab = w.findChild<LazyTab *>(QLatin1String(tabName));
        w.ui.tabWidget->setCurrentWidget(tab);
        return static_cast<Page *>(tab->page());
    }
};

#endif
