#include "app/mainwindow.h"

#include "net/socketclient.h"

// Server discovery and the hand-over to the data connection.

void mainwindow::startFind()
{
    host->findMeter();
}

void mainwindow::onSendFindPort(QString portName)
{
    host->meterConnected(portName);
    serverConnected = true;
    ui.adjustButton->setEnabled(true);
}

void mainwindow::onBeforeConnect(QString strIP)
{
    client->connectToServer(strIP);
}
