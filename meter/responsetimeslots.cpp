#include "app/mainwindow.h"

// Response-time test.

void mainwindow::updatetime()
{
}

void mainwindow::on_uptestButton_clicked()
{
}

void mainwindow::on_downtestButton_clicked()
{
}

void mainwindow::on_clearResButton_clicked()
{
}
