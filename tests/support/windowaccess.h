#ifndef TESTS_WINDOWACCESS_H
#define TESTS_WINDOWACCESS_H

#include "app/mainwindow.h"

// The main window keeps its state private; tests read and steer it through
// this one friend instead of widening the window's interface.
class MainWindowTestAccess
{
public:
    explicit MainWindowTestAccess(mainwindow &w) : w(w) {}

    Ui::mainwindowClass &ui() { return w.ui; }
    SocketClient *client() { return w.client; }
    QTimer *pollTimer() { return w.pollTimer; }
    QTimer *responseTimer() { return w.responseTimer; }
    QSharedMemory *dataSegment() { return w.dataSegment; }
    QSharedMemory *cmdSegment() { return w.cmdSegment; }

    bool serverConnected() const { return w.serverConnected; }
    bool factoryResetPending() const { return w.factoryResetPending; }
    const QByteArray &lastMeasurement() const { return w.lastMeasurement; }
    float N() const { return w.N; }
    float Ns() const { return w.Ns; }
    float K() const { return w.K; }
    float Nmax() const { return w.Nmax; }
    float Nsmax() const { return w.Nsmax; }
    float Kmax() const { return w.Kmax; }
    float chamberTemp() const { return w.chamberTemp; }
    float smokeTemp() const { return w.smokeTemp; }
    float energy() const { return w.energy; }
    bool riseRunning() const { return w.responseTest.riseRunning(); }
    bool fallRunning() const { return w.responseTest.fallRunning(); }
    bool riseTiming() const { return w.responseTest.riseTiming(); }
    bool fallTiming() const { return w.responseTest.fallTiming(); }

    void setNoticeDelay(int ms) { w.noticeDelayMs = ms; }
    void seraildata(const QByteArray &frame) { w.seraildata(frame); }
    void autosend() { w.autosend(); }
    void loadmem() { w.loadmem(); }
    void startFind() { w.startFind(); }

private:
    mainwindow &w;
};

#endif
