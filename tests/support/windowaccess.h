#ifndef TESTS_WINDOWACCESS_H
#define TESTS_WINDOWACCESS_H

#include <QAbstractItemView>
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

// A free-acceleration series' replies (testsupport::snapCurve), one every
// 100 ms of the test's clock.
inline void feedSnaps(MainWindowTestAccess &a, testsupport::ManualLaneClock &clock, const QVector<double> &peaks = {1.50, 1.40, 1.45, 1.42})
{
    for (double k : testsupport::snapCurve(peaks)) {
        a.seraildata(testsupport::measurementReply(0, 0, qint16(qRound(k * 100)), 20, 21, 100));
        clock.ms += 100;
    }
}

// The texts of 'column' in the view's rows, top down.
inline QStringList columnTexts(const QAbstractItemView *view, int column)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

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
