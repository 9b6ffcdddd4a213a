#include "app/trendpage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

#include "lane/lanesession.h"

using namespace QtCharts;

namespace {

QValueAxis *makeAxis(const QString &title, double low, double high, int ticks)
{
    auto *axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(low, high);
    axis->setTickCount(ticks);
    axis->setLabelFormat(QStringLiteral("%g"));
    return axis;
}

// The usual red dot of a recorder; the style has none.
QIcon recordIcon()
{
    QPixmap dot(16, 16);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(210, 30, 30));
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    return QIcon(dot);
}

} // namespace

TrendPage::TrendPage(LaneSession *session, QWidget *window) : session(session)
{
    setObjectName(QStringLiteral("trendPage"));
    buildChart();
    buildControls();
    follow(window);
}

void TrendPage::buildChart()
{
    // Axes are fixed once: the time axis counts seconds back from now, and
    // N (0-100 %) and K (0-10 per metre) share grid lines.
    auto *chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    nSeries = new QLineSeries;
    nSeries->setName(QStringLiteral("N (%)"));
    kSeries = new QLineSeries;
    kSeries->setName(QStringLiteral("K (m⁻¹)"));
    peakSeries = new QScatterSeries;
    peakSeries->setName(QStringLiteral("计入峰值"));
    peakSeries->setMarkerSize(9);
    chart->addSeries(nSeries);
    chart->addSeries(kSeries);
    chart->addSeries(peakSeries);
    QValueAxis *time = makeAxis(QStringLiteral("时间 (s)"), -TrendBuffer::SpanMs / 1000.0, 0, 7);
    QValueAxis *nAxis = makeAxis(QStringLiteral("N (%)"), 0, 100, 6);
    QValueAxis *kAxis = makeAxis(QStringLiteral("K (m⁻¹)"), 0, 10, 6);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(nAxis, Qt::AlignLeft);
    chart->addAxis(kAxis, Qt::AlignRight);
    nSeries->attachAxis(time);
    nSeries->attachAxis(nAxis);
    kSeries->attachAxis(time);
    kSeries->attachAxis(kAxis);
    peakSeries->attachAxis(time);
    peakSeries->attachAxis(kAxis);
    view = new QChartView(chart, this);
}

void TrendPage::buildControls()
{
    pauseButton = new QPushButton(style()->standardIcon(QStyle::SP_MediaPause),
                                  QStringLiteral("暂停"), this);
    recordButton = new QPushButton(recordIcon(), QStringLiteral("记录"), this);
    recordButton->setCheckable(true);
    recordButton->setToolTip(QStringLiteral("Ctrl+R"));
    pictureButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                    QStringLiteral("保存图片"), this);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("recordStatus"));
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setWordWrap(true);  // a write error's text can be long

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pauseButton);
    buttons->addWidget(recordButton);
    buttons->addWidget(pictureButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    // The form's tab widget reaches past the window's right and bottom edges.
    layout->setContentsMargins(4, 2, 12, 8);
    layout->setSpacing(4);
    layout->addWidget(view, 1);
    layout->addWidget(status);
    layout->addLayout(buttons);
}

void TrendPage::follow(QWidget *window)
{
    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(RefreshIntervalMs);
    connect(refreshTimer, &QTimer::timeout, this, &TrendPage::tick);
    connect(pauseButton, &QPushButton::clicked, this, &TrendPage::togglePause);
    // The button only asks; its checked state follows the session.
    connect(recordButton, &QPushButton::clicked, this, &TrendPage::toggleRecording);
    connect(pictureButton, &QPushButton::clicked, this, &TrendPage::choosePicture);
    connect(session, &LaneSession::recordingStarted, this, &TrendPage::showRecordingState);
    const auto stopped = [this] {
        pictureNote.clear();
        showRecordingState();
    };
    connect(session, &LaneSession::recordingStopped, this, stopped);
    connect(session, &LaneSession::recordingFailed, this, stopped);
    connect(session, &LaneSession::readingTaken, this, &TrendPage::addReading);
    connect(session, &LaneSession::seriesFinished, this, &TrendPage::markPeaks);
    // On the window, not the page, so that it works from every tab.
    auto *shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), window);
    connect(shortcut, &QShortcut::activated, this, &TrendPage::toggleRecording);
}

QChart *TrendPage::chart() const
{
    return view->chart();
}

qint64 TrendPage::nowMs() const
{
    return session->now().monotonicMs;
}

void TrendPage::addReading(const LaneReading &reading)
{
    trend.append(reading);
}

void TrendPage::toggleRecording()
{
    if (session->isRecording())
        session->stopRecording();
    else
        session->startRecording();
}

void TrendPage::togglePause()
{
    paused = !paused;
    pauseButton->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
    pauseButton->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay
                                                      : QStyle::SP_MediaPause));
    if (!paused)
        refresh();
}

void TrendPage::refresh()
{
    const qint64 now = nowMs();
    trend.points(now, &nPoints, &kPoints);
    nSeries->replace(nPoints);
    kSeries->replace(kPoints);

    peaks.erase(std::remove_if(peaks.begin(), peaks.end(),
                               [now](const QPointF &p) {
                                   return now - p.x() > TrendBuffer::SpanMs;
                               }),
                peaks.end());
    peakPoints.clear();
    for (const QPointF &p : peaks)
        peakPoints.append(QPointF((p.x() - now) / 1000.0, p.y()));
    peakSeries->replace(peakPoints);
}

void TrendPage::markPeaks(const SeriesOutcome &outcome)
{
    for (int i : outcome.countedIndexes)
        peaks.append(QPointF(double(outcome.snaps.at(i).peakMs), outcome.snaps.at(i).peakK));
}

void TrendPage::tick()
{
    if (!paused)
        refresh();
    if (session->isRecording())
        showRecordingState();
}

bool TrendPage::savePicture(const QString &path)
{
    if (!paused)
        refresh();
    const bool saved = view->grab().save(path, "PNG");
    pictureNote = (saved ? QStringLiteral("图片已保存：%1") : QStringLiteral("图片保存失败：%1"))
                      .arg(QDir::toNativeSeparators(path));
    showRecordingState();
    return saved;
}

void TrendPage::choosePicture()
{
    const QString suggested = QStringLiteral("trend-%1.png")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存图片"), suggested,
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty())
        savePicture(path);
}

void TrendPage::showRecordingState()
{
    const Recorder &rec = session->recorder();
    recordButton->setChecked(rec.isRecording());
    const QString name = QFileInfo(rec.fileName()).fileName();
    if (rec.isRecording())
        status->setText(QStringLiteral("记录中：%1，%2 行").arg(name).arg(rec.rowCount()));
    else if (!pictureNote.isEmpty())
        status->setText(pictureNote);
    else if (!rec.errorString().isEmpty())
        status->setText(QStringLiteral("记录停止：%1").arg(rec.errorString()));
    else if (!name.isEmpty())
        status->setText(QStringLiteral("已记录：%1，%2 行").arg(name).arg(rec.rowCount()));
    else
        status->clear();
}

void TrendPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    tick();
    refreshTimer->start();
}

void TrendPage::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    refreshTimer->stop();
}
