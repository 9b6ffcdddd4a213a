#ifndef APP_FREEACCELPAGE_H
#define APP_FREEACCELPAGE_H

#include <QWidget>

#include "meter/freeaccelseries.h"
#include "meter/measurement.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

// The "自由加速" tab: runs a free-acceleration series on the measurement
// replies, prompts the operator from what K does, lists the snaps, shows
// the result and appends it to the results file. The series itself lives in
// FreeAccelSeries; this page only starts, feeds and shows it.
class FreeAccelPage : public QWidget
{
    Q_OBJECT

public:
    // F5 is bound on 'window', so it starts a series from any page.
    explicit FreeAccelPage(QWidget *window);

    static QString title();
    const FreeAccelSeries &series() const { return run; }

public slots:
    void startSeries();
    void stopSeries();
    void onMeasurement(const QByteArray &frame, const Measurement::Reading &reading);

signals:
    // Each peak of a valid result, once the series has ended.
    void peakCounted(qint64 msSinceEpoch, double k);
    void seriesFinished();

private:
    void choosePreset(int index);
    void parametersEdited();
    FreeAccelMethod methodFromControls() const;
    void showMethod(const FreeAccelMethod &method);
    void addSnapRow(const Snap &snap);
    void finishSeries();
    void showState();

    FreeAccelSeries run;
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
