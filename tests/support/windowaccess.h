#ifndef TESTS_WINDOWACCESS_H
#define TESTS_WINDOWACCESS_H

#include <QSettings>

#include "app/lazytab.h"
#include "app/mainwindow.h"
#include "meter/frames.h"
#include "support/testsupport.h"

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

// Stores the stand-in meter's address as the remembered server, shows the
// window and waits until it is connected and polls the stand-in.
inline bool showConnected(mainwindow &w, testsupport::LoopbackServer &meter)
{
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    w.show();
    // The first discovery step asks once before the link counts, and this
    // stand-in, on the window's thread, cannot answer that: the link comes
    // with the next try, and its polls follow.
    return QTest::qWaitFor([&] {
        return MainWindowTestAccess(w).serverConnected() && meter.commands().count(Frames::readMeasurement()) >= 2;
    }, 15000);
}

#endif
