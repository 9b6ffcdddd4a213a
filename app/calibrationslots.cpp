#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "lane/lanesession.h"
#include "meter/frames.h"
#include "net/meterlink.h"
#include "platform/pause.h"

// Calibration and factory reset.

namespace {

constexpr int CalibrationStepPauseMs = 1000;
constexpr int CalibrationStepPauses = 3;
constexpr int ResetStepPauseMs = 1000;
constexpr int CompletionBoxMs = 1500;

} // namespace

void mainwindow::on_adjustButton_clicked()
{
    ui.adjustButton->setText(QCoreApplication::translate("mainwindowClass", "正在校准"));
    ui.adjustButton->setEnabled(false);
    meterLink->stopPolling();

    emit writecmd(Frames::calibrateStep1());
    // The meter needs about three seconds between the two steps; one event
    // pass before each pause gets the first command onto the wire and keeps
    // the window painted.
    for (int i = 0; i < CalibrationStepPauses; ++i) {
        QCoreApplication::processEvents();
        platform::pauseMs(CalibrationStepPauseMs);
    }
    emit writecmd(Frames::calibrateStep2());

    ui.adjustButton->setText(QCoreApplication::translate("mainwindowClass", "校准"));
    ui.adjustButton->setEnabled(true);
    // Polling stays stopped until the meter reports the calibration done.
}

void mainwindow::on_refactButton_clicked()
{
    meterLink->stopPolling();
    emit writecmd(Frames::factoryReset());
    factoryResetPending = true;
    session->beginFactoryReset();
}

void mainwindow::onCalibrationDone()
{
    QMessageBox box(QMessageBox::Information, tr("提示"),
                    factoryResetPending ? tr("恢复出厂完成") : tr("校准完成"),
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
    meterLink->startPolling();
}

void mainwindow::onFactoryResetAccepted()
{
    emit writecmd(Frames::calibrateStep1());
    platform::pauseMs(ResetStepPauseMs);
    qDebug() << "恢复1";
    emit writecmd(Frames::calibrateStep2());
    qDebug() << "恢复2";
}
