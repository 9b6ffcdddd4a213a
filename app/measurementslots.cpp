#include "app/mainwindow.h"

#include "lane/lanesession.h"
#include "meter/frames.h"

// Measurement polling, the frames from the meter, and the display.

void mainwindow::autosend()
{
    emit writecmd(Frames::readMeasurement());
}

void mainwindow::seraildata(QByteArray re)
{
    // Measurement replies come back as readings (showReading); the
    // companion has seen a short reply before the calibration handling.
    if (host->takeFrame(re) != Measurement::FrameKind::ShortReply)
        return;
    if (re == Frames::calibrationDone())
        onCalibrationDone();
    else if (re == Frames::factoryResetAccepted())
        onFactoryResetAccepted();
}

void mainwindow::showReading(const LaneReading &r)
{
    onForm.n = r.n;
    ui.label_Nt->setText(QString::number(onForm.n));
    onForm.ns = r.ns;
    ui.label_Nst->setText(QString::number(onForm.ns));
    ui.label_resNs->setText(QString::number(onForm.ns));

    if (r.has(LaneReading::K))
        showKAndAfter(r);
}

void mainwindow::showKAndAfter(const LaneReading &r)
{
    onForm.k = r.k;
    ui.label_Kt->setText(QString::number(onForm.k));

    onForm.chamberC = r.chamberC;
    ui.label_airroomt->setText(QString::number(onForm.chamberC));
    onForm.smokeC = r.smokeC;
    ui.label_smoket->setText(QString::number(onForm.smokeC));

    // A reading whose energy is not shown shows the last one shown again.
    if (r.has(LaneReading::Energy))
        onForm.energy = r.energy;
    ui.label_Ad->setText(QString::number(onForm.energy));
}

// The host raises the maxima before the reading is shown, and clears them
// for the button and the API alike.
void mainwindow::showMaxima(const LaneHost::Maxima &m)
{
    ui.label_Kmax->setText(QString::number(m.k));
    ui.label_Nsmax->setText(QString::number(m.ns));
    ui.label_Nmax->setText(QString::number(m.n));
}

void mainwindow::on_clearButton_clicked()
{
    host->clearMaxima();
}
