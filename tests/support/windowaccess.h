#ifndef TESTS_WINDOWACCESS_H
#define TESTS_WINDOWACCESS_H

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
    void seraildata(const QByteArray &frame) { w.seraildata(frame); }
    void loadmem() { w.loadmem(); }
    void autosend() { w.autosend(); }
};

#endif
