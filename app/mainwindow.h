#ifndef APP_MAINWINDOW_H
#define APP_MAINWINDOW_H

#include <QByteArray>
#include <QMainWindow>
#include <QString>

#include "meter/measurement.h"
#include "meter/responsetest.h"
#include "net/linkkeeper.h"
#include "ui_mainwindow.h"

class QSharedMemory;
class QShowEvent;
class QTimer;
class SocketClient;

// The controller: owns the form, the measurement and test state, the two
// timers, the two shared-memory segments and the TCP client, and wires them.
// Slot bodies live by topic beside this file: measurementslots.cpp,
// calibrationslots.cpp, responsetimeslots.cpp, discoveryslots.cpp,
// linkslots.cpp and sharedmemslots.cpp.
class mainwindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit mainwindow(QWidget *parent = nullptr);
    ~mainwindow() override;

    // Server discovery, run 100 ms after every show event.
    void startFind();
    // Publishes one record in the data segment for the companion process.
    void writemem(QByteArray record);

    static constexpr int DiscoveryDelayMs = 100;
    static constexpr int NoticeDelayMs = 20000;
    static constexpr int PollingIntervalMs = 100;

signals:
    void writecmd(QByteArray ch);
    // Every measurement reply, as received and as decoded, after the form
    // has been updated; the pages that follow the readings listen here.
    void measurementReceived(const QByteArray &frame, const Measurement::Reading &reading);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void onSendFindPort(QString portName);
    void onBeforeConnect(QString strIP);
    void updatetime();
    void seraildata(QByteArray re);
    void autosend();
    void loadmem();
    void on_clearButton_clicked();
    void on_adjustButton_clicked();
    void on_refactButton_clicked();
    void on_uptestButton_clicked();
    void on_downtestButton_clicked();
    void on_clearResButton_clicked();
    void showLinkState(LinkKeeper::State state, const QString &address);
    void showValuesStale(bool stale);

private:
    friend class MainWindowTestAccess;

    void showConnectionNotice();
    // Lets the link keeper follow the polling and the replies, and the form
    // follow the link.
    void watchLink();
    // K, the temperatures and the energy value of a reply that has a K.
    void showKAndAfter(const Measurement::Reading &r);
    // Reply branches of the calibration and factory-reset sequences.
    void onCalibrationDone();
    void onFactoryResetAccepted();

    SocketClient *client = nullptr;
    bool serverConnected = false;
    Ui::mainwindowClass ui;
    bool factoryResetPending = false;
    QTimer *responseTimer = nullptr;
    ResponseTest responseTest;  // flags, start time and elapsed time of the rise/fall test
    QByteArray lastMeasurement;
    float Ns = 0;
    float Kmax = 0;
    float Nsmax = 0;
    float Nmax = 0;
    float N = 0;
    float K = 0;
    float chamberTemp = 0;
    float smokeTemp = 0;
    float energy = 0;
    const QString dataKey;
    const QString cmdKey;
    QSharedMemory *dataSegment = nullptr;
    QSharedMemory *cmdSegment = nullptr;
    QTimer *pollTimer = nullptr;
    LinkKeeper *link = nullptr;

    int noticeDelayMs = NoticeDelayMs;  // shortened by tests only
};

#endif
