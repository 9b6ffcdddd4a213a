#include "app/mainwindow.h"

#include "lane/lanesession.h"
#include "meter/frames.h"
#include "shm/companionexchange.h"

// Measurement polling, the frames from the meter, and the display.

void mainwindow::autosend()
{
    emit writecmd(Frames::readMeasurement());
}

void mainwindow::seraildata(QByteArray re)
{
    // Measurement replies come back as readings (showReading).
    if (session->takeFrame(re) != Measurement::FrameKind::ShortReply)
        return;
    // The companion sees every short reply, the calibration ones too,
    // before the calibration handling (which may run a modal box) starts.
    writemem(re);
    if (re == Frames::calibrationDone())
        onCalibrationDone();
    else if (re == Frames::factoryResetAccepted())
        onFactoryResetAccepted();
}

void mainwindow::showReading(const LaneReading &r)
{
    companion->rememberMeasurement(r.frame);

    N = r.n;
    ui.label_Nt->setText(QString::number(N));
    if (Measurement::raiseMaximum(Nmax, N))
        ui.label_Nmax->setText(QString::number(Nmax));

    Ns = r.ns;
    ui.label_Nst->setText(QString::number(Ns));
    ui.label_resNs->setText(QString::number(Ns));
    if (Measurement::raiseMaximum(Nsmax, Ns))
        ui.label_Nsmax->setText(QString::number(Nsmax));

    if (r.has(LaneReading::K))
        showKAndAfter(r);
}

void mainwindow::showKAndAfter(const LaneReading &r)
{
    K = r.k;
    ui.label_Kt->setText(QString::number(K));
    if (Measurement::raiseMaximum(Kmax, K))
        ui.label_Kmax->setText(QString::number(Kmax));

    chamberTemp = r.chamberC;
    ui.label_airroomt->setText(QString::number(chamberTemp));
    smokeTemp = r.smokeC;
    ui.label_smoket->setText(QString::number(smokeTemp));

    // A reading whose energy is not shown shows the last one shown again.
    if (r.has(LaneReading::Energy))
        energy = r.energy;
    ui.label_Ad->setText(QString::number(energy));
}

void mainwindow::on_clearButton_clicked()
{
    Kmax = 0;
    ui.label_Kmax->setText(QString::number(Kmax));
    Nsmax = 0;
    ui.label_Nsmax->setText(QString::number(Nsmax));
    Nmax = 0;
    ui.label_Nmax->setText(QString::number(Nmax));
}
