#include "app/mainwindow.h"

#include "shm/companionexchange.h"

// Shared-memory exchange with the companion process.

void mainwindow::writemem(QByteArray record)
{
    host->companion()->publish(record);
}

void mainwindow::loadmem()
{
    const QByteArray command = host->takeCompanionCommand();
    if (!command.isEmpty())
        emit writecmd(command);
}
