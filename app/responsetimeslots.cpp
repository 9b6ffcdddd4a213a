#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include "lane/dailychecks.h"
#include "platform/pause.h"

// Response-time test. The decisions are ResponseTest's; these slots carry
// them out on the timer, the buttons, the labels and the log.

namespace {

// The buttons' captions, in the form's own translation context.
const char RiseCaption[] = QT_TRANSLATE_NOOP("mainwindowClass", "测量上升时间");
const char FallCaption[] = QT_TRANSLATE_NOOP("mainwindowClass", "测量下降时间");
const char BusyCaption[] = QT_TRANSLATE_NOOP("mainwindowClass", "正在测试");

QString caption(const char *source)
{
    return QCoreApplication::translate("mainwindowClass", source);
}

} // namespace

void mainwindow::showResponseCaptions()
{
    ui.uptestButton->setText(caption(responseTest.riseRunning() ? BusyCaption : RiseCaption));
    ui.downtestButton->setText(caption(responseTest.fallRunning() ? BusyCaption : FallCaption));
}

void mainwindow::updatetime()
{
    const ResponseTest::Tick tick = responseTest.tick(onForm.ns);

    if (tick.fallStarted)
        qDebug() << "start";
    if (tick.riseEnded) {
        qDebug() << tick.elapsedMs;
        riseMs = tick.elapsedMs;
        responseTimer->stop();
        platform::pauseMs(ResponseTest::StopPauseMs);
        ui.uptestButton->setText(caption(RiseCaption));
        ui.uptestButton->setEnabled(true);
        ui.downtestButton->setEnabled(true);
    }
    if (tick.fallEnded) {
        qDebug() << "finishi";
        qDebug() << tick.elapsedMs;
        // A rise and a fall measured one after the other make a response check.
        if (riseMs >= 0)
            dailyChecks->takeResponse(riseMs, tick.elapsedMs);
        riseMs = -1;
        responseTimer->stop();
        platform::pauseMs(ResponseTest::StopPauseMs);
        ui.downtestButton->setText(caption(FallCaption));
        ui.uptestButton->setEnabled(true);
        ui.downtestButton->setEnabled(true);
    }

    if (tick.showRise)
        ui.label_uptime->setText(tick.elapsedText);
    if (tick.showFall)
        ui.label_downtime->setText(tick.elapsedText);
}

void mainwindow::on_uptestButton_clicked()
{
    ui.uptestButton->setEnabled(false);
    ui.downtestButton->setEnabled(false);
    responseTest.armRise();
    ui.uptestButton->setText(caption(BusyCaption));
    responseTimer->start(ResponseTest::TimerIntervalMs);
}

void mainwindow::on_downtestButton_clicked()
{
    ui.uptestButton->setEnabled(false);
    ui.downtestButton->setEnabled(false);
    responseTest.armFall();
    ui.downtestButton->setText(caption(BusyCaption));
    responseTimer->start(ResponseTest::TimerIntervalMs);
}

void mainwindow::on_clearResButton_clicked()
{
    responseTimer->stop();
    platform::pauseMs(ResponseTest::StopPauseMs);
    responseTest.clear();
    riseMs = -1;
    const QString zero = QStringLiteral("0");
    ui.label_resNs->setText(zero);
    ui.label_downtime->setText(zero);
    ui.label_uptime->setText(zero);
    ui.uptestButton->setText(caption(RiseCaption));
    ui.downtestButton->setText(caption(FallCaption));
    ui.uptestButton->setEnabled(true);
    ui.downtestButton->setEnabled(true);
}
