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

#include "app/mainwindow.h"
#include "meter/recorder.h"

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

TrendPage::TrendPage(mainwindow *window)
{
    setObjectName(QStringLiteral("trendPage"));
    sinceStart.start();
    now = [this] { return sinceStart.elapsed(); };

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

    rec = new Recorder(this);
    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(RefreshIntervalMs);
    connect(refreshTimer, &QTimer::timeout, this, &TrendPage::tick);
    connect(pauseButton, &QPushButton::clicked, this, &TrendPage::togglePause);
    // The button only asks; its checked state follows the recorder.
    connect(recordButton, &QPushButton::clicked, this, &TrendPage::toggleRecording);
    connect(pictureButton, &QPushButton::clicked, this, &TrendPage::choosePicture);
    connect(rec, &Recorder::started, this, &TrendPage::showRecordingState);
    connect(rec, &Recorder::stopped, this, [this] {
        pictureNote.clear();
        showRecordingState();
    });

    connect(window, &mainwindow::measurementReceived, this, &TrendPage::addReading);
    // On the window, not the page, so that it works from every tab.
    auto *shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), window);
    connect(shortcut, &QShortcut::activated, this, &TrendPage::toggleRecording);
}

QChart *TrendPage::chart() const
{
    return view->chart();
}

void TrendPage::setClock(std::function<qint64()> clock)
{
    now = std::move(clock);
}

void TrendPage::addReading(const QByteArray &frame, const Measurement::Reading &reading)
{
    Q_UNUSED(frame);
    trend.append(now(), reading);
    if (rec->isRecording())
        rec->record(reading);
}

void TrendPage::toggleRecording()
{
    if (rec->isRecording())
        rec->stop();
    else if (!rec->start(Recorder::pathFor(QDateTime::currentDateTime())))
        showRecordingState();
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
    trend.points(now(), &nPoints, &kPoints);
    nSeries->replace(nPoints);
    kSeries->replace(kPoints);

    const qint64 nowMs = now();
    peaks.erase(std::remove_if(peaks.begin(), peaks.end(),
                               [nowMs](const QPointF &p) {
                                   return nowMs - p.x() > TrendBuffer::SpanMs;
                               }),
                peaks.end());
    peakPoints.clear();
    for (const QPointF &p : peaks)
        peakPoints.append(QPointF((p.x() - nowMs) / 1000.0, p.y()));
    peakSeries->replace(peakPoints);
}

void TrendPage::markPeak(qint64 msSinceEpoch, double k)
{
    // The curve runs on the page's own clock; a peak is placed as long ago
    // on it as it was on the wall clock.
    const qint64 ago = QDateTime::currentMSecsSinceEpoch() - msSinceEpoch;
    peaks.append(QPointF(double(now() - ago), k));
}

void TrendPage::tick()
{
    if (!paused)
        refresh();
    if (rec->isRecording())
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
    recordButton->setChecked(rec->isRecording());
    const QString name = QFileInfo(rec->fileName()).fileName();
    if (rec->isRecording())
        status->setText(QStringLiteral("记录中：%1，%2 行").arg(name).arg(rec->rowCount()));
    else if (!pictureNote.isEmpty())
        status->setText(pictureNote);
    else if (!rec->errorString().isEmpty())
        status->setText(QStringLiteral("记录停止：%1").arg(rec->errorString()));
    else if (!name.isEmpty())
        status->setText(QStringLiteral("已记录：%1，%2 行").arg(name).arg(rec->rowCount()));
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
