#ifndef APP_FREEACCELPAGE_H
#define APP_FREEACCELPAGE_H

#include <QWidget>

#include "meter/freeaccelseries.h"

class LaneSession;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
struct LaneReading;
struct SeriesOutcome;

// The "自由加速" tab: the method's controls, the prompt that follows what K
// does, the snaps found and the result. The series runs in the session;
// this page starts and stops it there and shows what it announces.
class FreeAccelPage : public QWidget
{
    Q_OBJECT

public:
    // F5 is bound on 'window', so it starts a series from any page.
    FreeAccelPage(LaneSession *session, QWidget *window);

    static QString title();

public slots:
    void startSeries();
    void stopSeries();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showMissedSnaps();
    void markCounted(const QVector<int> &rows);
    void buildRules();
    void buildOutcome();
    void layOut();
    void follow(QWidget *window);
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
};

#endif
