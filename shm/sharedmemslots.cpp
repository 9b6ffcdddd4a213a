#include "app/mainwindow.h"

// Shared-memory exchange with the companion process.

void mainwindow::writemem(QByteArray record)
{
    Q_UNUSED(record);
}

void mainwindow::loadmem()
{
}
