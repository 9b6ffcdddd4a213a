#include "app/mainwindow.h"

#include "net/socketclient.h"

// Server discovery and the hand-over to the data connection.

void mainwindow::startFind()
{
}

void mainwindow::onSendFindPort(QString portName)
{
    Q_UNUSED(portName);
}

void mainwindow::onBeforeConnect(QString strIP)
{
    client->connectToServer(strIP);
}
