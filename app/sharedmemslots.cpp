#include "app/mainwindow.h"

#include "shm/companionexchange.h"

// Shared-memory exchange with the companion process.

void mainwindow::writemem(QByteArray record)
{
    companion->publish(record);
}

void mainwindow::loadmem()
{
    const QByteArray command = companion->takeCommand();
    if (!command.isEmpty())
        emit writecmd(command);
}
