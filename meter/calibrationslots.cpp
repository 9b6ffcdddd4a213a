#include "app/mainwindow.h"

// Calibration and factory reset.

void mainwindow::on_adjustButton_clicked()
{
}

void mainwindow::on_refactButton_clicked()
{
}

void mainwindow::onCalibrationDone()
{
}

void mainwindow::onFactoryResetAccepted()
{
}
