#include "app/trendpage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include "lane/lanesession.h"

using namespace QtCharts;

namespace {

QValueAxis *makeAxis(double low, double high, int ticks, const QFont &font)
{
    auto *axis = new QValueAxis;
    // The chart's theme asks for Arial, which the system would make up for
    // with yet another font file; the window's one typeface serves.
    axis->setTitleFont(font);
    axis->setLabelsFont(font);
    axis->setRange(low, high);
    axis->setTickCount(ticks);
    axis->setLabelFormat(QStringLiteral("%g"));
    return axis;
}

// The usual red dot of a recorder; the style has none. Drawn at 2x too, for
// scaled screens.
QIcon recordIcon()
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap dot(16 * scale, 16 * scale);
        dot.setDevicePixelRatio(scale);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(210, 30, 30));
        painter.drawEllipse(QRectF(2, 2, 12, 12));
        icon.addPixmap(dot);
    }
    return icon;
}

} // namespace

TrendPage::TrendPage(LaneSession *session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName(QStringLiteral("trendPage"));
    buildChart();
    buildControls();
    follow();
    retranslate();
}

void TrendPage::buildChart()
{
    // Axes are fixed once: the time axis counts seconds back from now, and
    // N (0-100 %) and K (0-10 per metre) share grid lines.
    auto *chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    QFont small = font();
    small.setPointSize(10);
    chart->legend()->setFont(small);
    nSeries = new QLineSeries;
    nSeries->setName(QStringLiteral("N (%)"));
    kSeries = new QLineSeries;
    kSeries->setName(QStringLiteral("K (m⁻¹)"));
    peakSeries = new QScatterSeries;
    peakSeries->setMarkerSize(9);
    chart->addSeries(nSeries);
    chart->addSeries(kSeries);
    chart->addSeries(peakSeries);
    timeAxis = makeAxis(-TrendBuffer::SpanMs / 1000.0, 0, 7, small);
    QValueAxis *nAxis = makeAxis(0, 100, 6, small);
    nAxis->setTitleText(QStringLiteral("N (%)"));
    QValueAxis *kAxis = makeAxis(0, 10, 6, small);
    kAxis->setTitleText(QStringLiteral("K (m⁻¹)"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(nAxis, Qt::AlignLeft);
    chart->addAxis(kAxis, Qt::AlignRight);
    nSeries->attachAxis(timeAxis);
    nSeries->attachAxis(nAxis);
    kSeries->attachAxis(timeAxis);
    kSeries->attachAxis(kAxis);
    peakSeries->attachAxis(timeAxis);
    peakSeries->attachAxis(kAxis);
    view = new QChartView(chart, this);
}

void TrendPage::buildControls()
{
    pauseButton = new QPushButton(style()->standardIcon(QStyle::SP_MediaPause), QString(), this);
    recordButton = new QPushButton(recordIcon(), QString(), this);
    recordButton->setCheckable(true);
    recordButton->setToolTip(QStringLiteral("Ctrl+R"));
    pictureButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QString(),
                                    this);
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

void TrendPage::follow()
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
        picturePath.clear();
        showRecordingState();
    };
    connect(session, &LaneSession::recordingStopped, this, stopped);
    connect(session, &LaneSession::recordingFailed, this, stopped);
}

void TrendPage::retranslate()
{
    peakSeries->setName(tr("计入峰值"));
    timeAxis->setTitleText(tr("时间 (s)"));
    pauseButton->setText(paused ? tr("继续") : tr("暂停"));
    recordButton->setText(tr("记录"));
    pictureButton->setText(tr("保存图片"));
    showRecordingState();
}

void TrendPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QChart *TrendPage::chart() const
{
    return view->chart();
}

qint64 TrendPage::nowMs() const
{
    return session->now().monotonicMs;
}

void TrendPage::toggleRecording()
{
    session->toggleRecording();
}

void TrendPage::togglePause()
{
    paused = !paused;
    pauseButton->setText(paused ? tr("继续") : tr("暂停"));
    pauseButton->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay
                                                      : QStyle::SP_MediaPause));
    if (!paused)
        refresh();
}

void TrendPage::refresh()
{
    const qint64 now = nowMs();
    session->trend().points(now, &nPoints, &kPoints);
    nSeries->replace(nPoints);
    kSeries->replace(kPoints);
    session->trend().peaks(now, &peakPoints);
    peakSeries->replace(peakPoints);
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
    pictureSaved = view->grab().save(path, "PNG");
    picturePath = path;
    showRecordingState();
    return pictureSaved;
}

void TrendPage::choosePicture()
{
    const QString suggested = QStringLiteral("trend-%1.png")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path = QFileDialog::getSaveFileName(this, tr("保存图片"), suggested,
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty())
        savePicture(path);
}

void TrendPage::showRecordingState()
{
    const ReadingCsvWriter &rec = session->readingCsvWriter();
    recordButton->setChecked(rec.isRecording());
    const QString name = QFileInfo(rec.fileName()).fileName();
    if (rec.isRecording())
        status->setText(tr("记录中：%1，%2 行").arg(name).arg(rec.rowCount()));
    else if (!picturePath.isEmpty())
        status->setText((pictureSaved ? tr("图片已保存：%1") : tr("图片保存失败：%1"))
                            .arg(QDir::toNativeSeparators(picturePath)));
    else if (!rec.errorString().isEmpty())
        status->setText(tr("记录停止：%1").arg(rec.errorString()));
    else if (!name.isEmpty())
        status->setText(tr("已记录：%1，%2 行").arg(name).arg(rec.rowCount()));
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
