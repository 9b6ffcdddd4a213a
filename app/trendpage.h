#ifndef APP_TRENDPAGE_H
#define APP_TRENDPAGE_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>
#include <QPointF>
#include <QWidget>

#include <functional>

#include "meter/measurement.h"
#include "meter/trendbuffer.h"

class QLabel;
class QPushButton;
class QTimer;
class Recorder;
class mainwindow;

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
}

// The "实时曲线" page: K and N over the last minute, and the recording of
// every measurement reply to CSV. The readings are kept whether or not the
// page is seen; the chart is redrawn a few times a second, and only while
// the page is visible and not paused, so polling never waits for it.
class TrendPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 200;

    // Follows 'window's measurement replies and gives it the Ctrl+R shortcut.
    explicit TrendPage(mainwindow *window);

    // The clock the curve's time axis runs on, in milliseconds; tests set it.
    void setClock(std::function<qint64()> clock);
    const TrendBuffer &buffer() const { return trend; }
    Recorder *recorder() const { return rec; }
    bool isPaused() const { return paused; }
    QtCharts::QChart *chart() const;
    // Saves the plot as a PNG; false when the file cannot be written.
    bool savePicture(const QString &path);

public slots:
    void addReading(const QByteArray &frame, const Measurement::Reading &reading);
    void toggleRecording();
    void togglePause();
    // Hands the series the whole buffer at once.
    void refresh();
    // Marks a peak that a free-acceleration series counted, taken at
    // 'msSinceEpoch' with absorption coefficient 'k'.
    void markPeak(qint64 msSinceEpoch, double k);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void tick();
    void choosePicture();
    void showRecordingState();

    TrendBuffer trend;
    Recorder *rec = nullptr;
    QElapsedTimer sinceStart;
    std::function<qint64()> now;
    bool paused = false;
    QVector<QPointF> nPoints;
    QVector<QPointF> kPoints;
    QVector<QPointF> peaks;  // x: the page's clock in ms, y: K
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
