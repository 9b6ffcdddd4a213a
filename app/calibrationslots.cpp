#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "meter/frames.h"
#include "platform/pause.h"

// Calibration and factory reset.

namespace {

constexpr int StopPollingPauseMs = 50;
constexpr int StopPollingPauses = 3;
constexpr int CalibrationStepPauseMs = 1000;
constexpr int CalibrationStepPauses = 3;
constexpr int ResetStepPauseMs = 1000;
constexpr int CompletionBoxMs = 1500;

// Gives a poll already on its way time to be answered before the meter is
// sent a command of another kind.
void stopPolling(QTimer *pollTimer)
{
    if (!pollTimer->isActive())
        return;
    pollTimer->stop();
    for (int i = 0; i < StopPollingPauses; ++i)
        platform::pauseMs(StopPollingPauseMs);
}

} // namespace

void mainwindow::on_adjustButton_clicked()
{
    ui.adjustButton->setText(QStringLiteral("正在校准"));
    ui.adjustButton->setEnabled(false);
    stopPolling(pollTimer);

    emit writecmd(Frames::calibrateStep1());
    // The meter needs about three seconds between the two steps; one event
    // pass before each pause gets the first command onto the wire and keeps
    // the window painted.
    for (int i = 0; i < CalibrationStepPauses; ++i) {
        QCoreApplication::processEvents();
        platform::pauseMs(CalibrationStepPauseMs);
    }
    emit writecmd(Frames::calibrateStep2());

    ui.adjustButton->setText(QStringLiteral("校准"));
    ui.adjustButton->setEnabled(true);
    // Polling stays stopped until the meter reports the calibration done.
}

void mainwindow::on_refactButton_clicked()
{
    stopPolling(pollTimer);
    emit writecmd(Frames::factoryReset());
    factoryResetPending = true;
}

void mainwindow::onCalibrationDone()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                    factoryResetPending ? QStringLiteral("恢复出厂完成")
                                        : QStringLiteral("校准完成"),
                    QMessageBox::NoButton, nullptr);
    // Bound to the box, so an operator who closes it early leaves no timer
    // behind to call into a box that no longer exists.
    QTimer::singleShot(CompletionBoxMs, &box, &QMessageBox::accept);

    // The box runs its own event loop, in which the window may be closed
    // and destroyed.
    QPointer<mainwindow> self(this);
    box.exec();
    if (!self)
        return;

    factoryResetPending = false;
    pollTimer->start(PollingIntervalMs);
}

void mainwindow::onFactoryResetAccepted()
{
    emit writecmd(Frames::calibrateStep1());
    platform::pauseMs(ResetStepPauseMs);
    qDebug() << "恢复1";
    emit writecmd(Frames::calibrateStep2());
    qDebug() << "恢复2";
}
