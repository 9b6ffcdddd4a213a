#include "app/mainwindow.h"

#include "meter/frames.h"
#include "meter/measurement.h"

// Measurement polling, decoding and display.

void mainwindow::autosend()
{
    emit writecmd(Frames::readMeasurement());
}

void mainwindow::seraildata(QByteArray re)
{
    switch (Measurement::classify(re)) {
    case Measurement::FrameKind::Ignored:
        return;

    case Measurement::FrameKind::ShortReply:
        // The companion sees every short reply, the calibration ones too,
        // before the calibration handling (which may run a modal box) starts.
        writemem(re);
        if (re == Frames::calibrationDone())
            onCalibrationDone();
        else if (re == Frames::factoryResetAccepted())
            onFactoryResetAccepted();
        return;

    case Measurement::FrameKind::Measurement:
        break;
    }

    lastMeasurement = re;
    Measurement::Reading r;
    Measurement::decode(re, &r);

    N = r.N;
    ui.label_Nt->setText(QString::number(N));
    if (Measurement::raiseMaximum(Nmax, N))
        ui.label_Nmax->setText(QString::number(Nmax));

    Ns = r.Ns;
    ui.label_Nst->setText(QString::number(Ns));
    ui.label_resNs->setText(QString::number(Ns));
    if (Measurement::raiseMaximum(Nsmax, Ns))
        ui.label_Nsmax->setText(QString::number(Nsmax));

    if (r.hasK)
        showKAndAfter(r);
    emit measurementReceived(re, r);
}

void mainwindow::showKAndAfter(const Measurement::Reading &r)
{
    K = r.K;
    ui.label_Kt->setText(QString::number(K));
    if (Measurement::raiseMaximum(Kmax, K))
        ui.label_Kmax->setText(QString::number(Kmax));

    chamberTemp = r.chamberTemp;
    ui.label_airroomt->setText(QString::number(chamberTemp));
    smokeTemp = r.smokeTemp;
    ui.label_smoket->setText(QString::number(smokeTemp));

    // A rejected energy reading shows the last good one again.
    if (r.energyAccepted)
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
