#include "app/mainwindow.h"

#include <QDebug>

#include "config/meterlinksettings.h"
#include "config/settings.h"
#include "net/meterlink.h"
#include "net/socketclient.h"

// Server discovery and the hand-over to the data connection.

void mainwindow::startFind()
{
    const settings::MeterLinkSettings meter = settings::storedMeterLink();
    if (meter.serial) {
        // The port is the meter's whole address: nothing to sweep for.
        if (!meterLink->onSerial())
            meterLink->useSerial(meter.line);
        else
            link->startLooking(QString());
        return;
    }
    const QString stored = settings::storedServerAddress();
    if (!stored.isEmpty() && client->tryConnectServer(stored))
        return;
    qDebug() << "start find...";
    link->startLooking(stored);
}

void mainwindow::onSendFindPort(QString portName)
{
    // Empty when the stored address answered before any sweep of this run
    // found one; the file already holds that address then.
    settings::storeServerAddress(portName);
    serverConnected = true;
    ui.adjustButton->setEnabled(true);
    meterLink->startPolling();
}

void mainwindow::onBeforeConnect(QString strIP)
{
    client->connectToServer(strIP);
}
