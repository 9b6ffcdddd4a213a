#include "app/mainwindow.h"

// Measurement polling, decoding and display.

void mainwindow::autosend()
{
}

void mainwindow::seraildata(QByteArray re)
{
    Q_UNUSED(re);
}

void mainwindow::on_clearButton_clicked()
{
}
