#ifndef APP_FREEACCELPAGE_H
#define APP_FREEACCELPAGE_H

#include <QWidget>

#include <optional>

#include "meter/freeaccelseries.h"
#include "records/finishedseries.h"
#include "ui_freeaccelpage.h"

class LaneSession;
class MethodEditor;
class QLabel;
class RecordReader;
class RecordMaker;
class VehiclePanel;
struct LaneReading;
struct TestSubject;

// The "自由加速" tab: the method (edited by its MethodEditor), the vehicle
// and its limit, the prompt that follows what K does, the snaps found, the
// result and whether its record was stored. The series runs in the session
// and its record is made by the record maker; this page starts and stops the
// series and shows what both announce. The window brings the tab to the
// front when a series starts.
class FreeAccelPage : public QWidget
{
    Q_OBJECT

public:
    // The window binds F5 to startSeries(), so it works from any page.
    // 'inUse' is the lane's method in use; a choice made here is announced
    // as methodChosen.
    FreeAccelPage(LaneSession *session, RecordMaker *archive, const FreeAccelMethod &inUse, QWidget *parent);

    static QString title();

public slots:
    void startSeries();
    void stopSeries();

signals:
    // The operator chose a preset or edited the rules.
    void methodChosen(const FreeAccelMethod &method);

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showMissedSnaps();
    void markCounted(const QVector<int> &rows);
    void follow();
    void followArchive(RecordMaker *archive);
    TestSubject subjectFromControls() const;
    void showSubject();
    // Whether the window shows English, for the profile's own texts.
    static bool english();
    void showProfile();
    QString duePrompt() const;
    void showVehicle(bool shown);
    void seriesStarted();
    void addSnapRow(const Snap &snap);
    void readingTaken(const LaneReading &reading);
    void seriesEnded(const FinishedSeries &outcome);
    void showState();
    QString outletsResult() const;

    Ui::FreeAccelPage ui;
    LaneSession *session;
    RecordReader *reader = nullptr;
    MethodEditor *method = nullptr;
    VehiclePanel *vehicle = nullptr;
    QLabel *profile = nullptr;
    std::optional<FinishedSeries> ended;  // the last test, while the page shows it
    FreeAccelSeries::State shownState = FreeAccelSeries::State::NotStarted;
};

#endif
