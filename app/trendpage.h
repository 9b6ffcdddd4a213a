#ifndef APP_TRENDPAGE_H
#define APP_TRENDPAGE_H

#include <QVector>
#include <QPointF>
#include <QWidget>

#include "lane/trendbuffer.h"

class LaneSession;
class QLabel;
class QPushButton;
class QTimer;
struct LaneReading;
struct SeriesOutcome;

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
}

// The "实时曲线" page: K and N over the last minute of the session's
// readings, and the buttons of its recording. The readings are kept whether
// or not the page is seen; the chart is redrawn a few times a second, and
// only while the page is visible and not paused, so polling never waits
// for it. Time runs on the session's monotonic clock.
class TrendPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 200;

    // Follows 'session's readings; Ctrl+R works anywhere on 'window'.
    TrendPage(LaneSession *session, QWidget *window);

    const TrendBuffer &buffer() const { return trend; }
    bool isPaused() const { return paused; }
    QtCharts::QChart *chart() const;
    // Saves the plot as a PNG; false when the file cannot be written.
    bool savePicture(const QString &path);

public slots:
    void addReading(const LaneReading &reading);
    void toggleRecording();
    void togglePause();
    // Hands the series the whole buffer at once.
    void refresh();
    // Marks the peaks a free-acceleration series counted.
    void markPeaks(const SeriesOutcome &outcome);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildChart();
    void buildControls();
    void follow(QWidget *window);
    qint64 nowMs() const;
    void tick();
    void choosePicture();
    void showRecordingState();

    LaneSession *session;
    TrendBuffer trend;
    bool paused = false;
    QVector<QPointF> nPoints;
    QVector<QPointF> kPoints;
    QVector<QPointF> peaks;  // x: the session's monotonic ms, y: K
    QVector<QPointF> peakPoints;

    QtCharts::QChartView *view = nullptr;
    QtCharts::QLineSeries *nSeries = nullptr;
    QtCharts::QLineSeries *kSeries = nullptr;
    QtCharts::QScatterSeries *peakSeries = nullptr;
    QTimer *refreshTimer = nullptr;
    QPushButton *pauseButton = nullptr;
    QPushButton *recordButton = nullptr;
    QPushButton *pictureButton = nullptr;
    QLabel *status = nullptr;
    QString pictureNote;  // the outcome of the last picture saved, until the next recording
};

#endif
