#ifndef APP_FREEACCELPAGE_H
#define APP_FREEACCELPAGE_H

#include <QWidget>

#include "meter/freeaccelseries.h"

class LaneSession;
class QCheckBox;
class QToolButton;
class RecordReader;
class TestArchive;
class VehiclePanel;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
struct LaneReading;
struct SeriesOutcome;
struct TestSubject;

// The "自由加速" tab: the method's controls, the vehicle and its limit, the
// prompt that follows what K does, the snaps found, the result and whether
// its record was stored. The series runs in the session and its record is
// made by the archive; this page starts and stops the series and shows what
// both announce.
class FreeAccelPage : public QWidget
{
    Q_OBJECT

public:
    // The window binds F5 to startSeries(), so it works from any page.
    // 'inUse' is the lane's method in use; a choice made here is announced
    // as methodChosen.
    FreeAccelPage(LaneSession *session, TestArchive *archive, const FreeAccelMethod &inUse, QWidget *parent);

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
    void buildRules();
    void buildOutcome();
    void buildVehicle();
    void layOut();
    void follow();
    void followArchive(TestArchive *archive);
    TestSubject subjectFromControls() const;
    void showSubject();
    void showVehicle(bool shown);
    void choosePreset(int index);
    void parametersEdited();
    FreeAccelMethod methodFromControls() const;
    void showMethod(const FreeAccelMethod &method);
    void seriesStarted();
    void addSnapRow(const Snap &snap);
    void readingTaken(const LaneReading &reading);
    void seriesEnded(const SeriesOutcome &outcome);
    void showState();

    LaneSession *session;
    RecordReader *reader = nullptr;
    FreeAccelSeries::State shownState = FreeAccelSeries::State::NotStarted;
    bool showingMethod = false;  // controls being filled, not edited

    QComboBox *preset = nullptr;
    QSpinBox *counted = nullptr;
    QDoubleSpinBox *band = nullptr;
    QSpinBox *maxSnaps = nullptr;
    QCheckBox *rejectDecreasing = nullptr;
    QCheckBox *useLimit = nullptr;
    QDoubleSpinBox *limit = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *stopButton = nullptr;
    QLabel *prompt = nullptr;
    QTableWidget *snapTable = nullptr;
    QLabel *result = nullptr;
    QLabel *fileStatus = nullptr;
    QLabel *limitText = nullptr;
    QToolButton *vehicleToggle = nullptr;
    QLabel *vehicleSummary = nullptr;
    VehiclePanel *vehicle = nullptr;
    QLabel *recordStatus = nullptr;
};

#endif
