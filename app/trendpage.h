#ifndef APP_TRENDPAGE_H
#define APP_TRENDPAGE_H

#include <QVector>
#include <QPointF>
#include <QWidget>

class LaneSession;
class QLabel;
class QPushButton;
class QTimer;

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
}

// The "实时曲线" page: K and N over the last minute of the session's
// readings, the peaks series counted in it, and the buttons of its
// recording. The session keeps the readings whether or not the page exists
// or is seen; the chart is redrawn from them a few times a second, and only
// while the page is visible and not paused, so polling never waits for it.
// Time runs on the session's monotonic clock.
class TrendPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 200;

    explicit TrendPage(LaneSession *session, QWidget *parent = nullptr);

    bool isPaused() const { return paused; }
    QtCharts::QChart *chart() const;
    // Saves the plot as a PNG; false when the file cannot be written.
    bool savePicture(const QString &path);

public slots:
    void toggleRecording();
    void togglePause();
    // Hands the series the whole buffer at once.
    void refresh();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildChart();
    void buildControls();
    void follow();
    void retranslate();
    qint64 nowMs() const;
    void tick();
    void choosePicture();
    void showRecordingState();

    LaneSession *session;
    bool paused = false;
    QVector<QPointF> nPoints;
    QVector<QPointF> kPoints;
    QVector<QPointF> peakPoints;

    QtCharts::QChartView *view = nullptr;
    QtCharts::QLineSeries *nSeries = nullptr;
    QtCharts::QLineSeries *kSeries = nullptr;
    QtCharts::QScatterSeries *peakSeries = nullptr;
    QtCharts::QValueAxis *timeAxis = nullptr;
    QTimer *refreshTimer = nullptr;
    QPushButton *pauseButton = nullptr;
    QPushButton *recordButton = nullptr;
    QPushButton *pictureButton = nullptr;
    QLabel *status = nullptr;
    // The outcome of the last picture saved, until the next recording; its
    // path, empty when none was tried.
    QString picturePath;
    bool pictureSaved = false;
};

#endif
