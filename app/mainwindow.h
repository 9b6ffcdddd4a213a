#ifndef APP_MAINWINDOW_H
#define APP_MAINWINDOW_H

#include <QByteArray>
#include <QMainWindow>
#include <QString>

#include "host/lanehost.h"
#include "meter/metervalues.h"
#include "meter/responsetest.h"
#include "net/linkkeeper.h"
#include "ui_mainwindow.h"

class DailyChecks;
class QLabel;
class LaneSession;
class LazyTab;
class MeterLink;
class QSharedMemory;
class QShowEvent;
class QTimer;
class SocketClient;
class RecordMaker;
struct LaneReading;

// The controller: owns the form, the lane's host (the link to the meter,
// the session, the record maker, the companion exchange, the station link and
// the API) and the response-time test. The fixed slots hand the host the
// meter's frames and the companion's commands; the window shows what the
// host and its session announce. Slot bodies live by topic beside this file:
// measurementslots.cpp, calibrationslots.cpp, responsetimeslots.cpp,
// discoveryslots.cpp, linkslots.cpp, sharedmemslots.cpp, settingsslots.cpp,
// stationslots.cpp, storageslots.cpp and dailycheckslots.cpp.
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
    // The WebSocket API as [Api] in set.ini says; its status, a failure
    // too, shows as the link label's tooltip and in the log. At once, or
    // with the services the first poll does not need.
    void startApi();
    void startApiWithServices();

    static constexpr int DiscoveryDelayMs = 100;
    static constexpr int NoticeDelayMs = 20000;

signals:
    void writecmd(QByteArray ch);
    // The settings dialog saved these; whoever switches the language and
    // runs the API listens.
    void languageChosen(const QString &language);
    void apiSettingsChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

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
    // The station's and the storage's labels between the title and the
    // link's text (stationslots.cpp).
    void placeHeaderLabels();
    void showStorageProblem(const QString &message);
    // The settings dialog, from its button or Ctrl+, (settingsslots.cpp).
    void openSettings();
    void useServerAddress(const QString &address);
    // [Meter] as now saved: the meter on a serial port or behind its server.
    void useMeterLink();
    // The API as [Api] now says, started if it was not running.
    void restartApi();

private:
    friend class MainWindowTestAccess;

    void showConnectionNotice();
    // The header's settings button and the shortcut that opens the dialog.
    void addSettingsAccess();
    void placeSettingsButton();
    void fitTexts();
    void fitPage(QWidget *page);
    void fitTabs();
    // The pages beside the form's own tab, each given the session and each
    // built when its tab is first shown; their keys work from every tab.
    void addPages();
    // The daily checks, their tab, their state in the header and the lock.
    void addDailyChecks();
    void showChecksState();
    void bindPageKeys();
    // The form's texts and the texts that follow the program's state, in
    // the language now shown (showTexts), each fitted to its box and the
    // header's labels placed about them (placeTexts): at the first show,
    // and at every change of language.
    void retranslate();
    void showTexts();
    void placeTexts();
    void showLinkText();
    void showElsewhere();
    void showResponseCaptions();
    // Lets the link keeper follow the polling and the readings, and the form
    // follow the link.
    void watchLink();
    // Shows how far the forwarding of the lane's records to the station's
    // server got, when one is set (stationslots.cpp).
    void watchStation();
    // Names every storage problem of the records in the header strip, from
    // the start on (storageslots.cpp).
    void watchStorage();
    void useStationServer();
    void showReading(const LaneReading &r);
    // K, the temperatures and the energy value of a reading that shows K.
    void showKAndAfter(const LaneReading &r);
    void showMaxima(const LaneHost::Maxima &m);
    // Reply branches of the calibration and factory-reset sequences.
    void onCalibrationDone();
    void onFactoryResetAccepted();

    SocketClient *client = nullptr;
    bool serverConnected = false;
    Ui::mainwindowClass ui;
    bool factoryResetPending = false;
    QTimer *responseTimer = nullptr;
    ResponseTest responseTest;  // flags, start time and elapsed time of the rise/fall test
    MeterValues onForm;  // the values the form shows
    // The lane; the members below name its parts.
    LaneHost *host = nullptr;
    LaneSession *session = nullptr;
    // Makes a record of every series the session runs and keeps it.
    RecordMaker *recordMaker = nullptr;
    QSharedMemory *dataSegment = nullptr;
    QSharedMemory *cmdSegment = nullptr;
    // The host's link to the meter; its network client, poll timer and
    // link keeper are the members 'client', 'pollTimer' and 'linkKeeper'.
    MeterLink *meterLink = nullptr;
    QTimer *pollTimer = nullptr;
    LinkKeeper *linkKeeper = nullptr;  // mends the link to the meter, tells its state
    LinkKeeper::State linkState = LinkKeeper::State::Connecting;
    QString linkAddress;
    LazyTab *trendTab = nullptr;
    LazyTab *freeAccelTab = nullptr;
    LazyTab *historyTab = nullptr;
    LazyTab *checksTab = nullptr;
    DailyChecks *dailyChecks = nullptr;
    QLabel *checksLabel = nullptr;  // shown when [Checks] RequireDaily=true
    qint64 riseMs = -1;             // of the last rise, for the response check
    QList<QWidget *> pagesToFit;    // the form's pages whose texts are not fitted yet
    bool textsPlaced = false;       // placeTexts() has run

    QLabel *stationLabel = nullptr;  // the station link's state; hidden without a station server
    QLabel *storageLabel = nullptr;
    bool seriesKept = false;  // a test of this run reached the records

    int noticeDelayMs = NoticeDelayMs;  // shortened by tests only
};

#endif
