#include "net/meterlink.h"

#include <QTimer>

#include "net/linkkeeper.h"
#include "net/socketclient.h"
#include "platform/pause.h"

namespace {
constexpr int StopPollingPauseMs = 50;
constexpr int StopPollingPauses = 3;
} // namespace

MeterLink::MeterLink(QObject *parent)
    : QObject(parent), socket(new SocketClient(this)), timer(new QTimer(this))
{
    timer->setObjectName(QStringLiteral("pollTimer"));
}

LinkKeeper *MeterLink::keeper()
{
    if (!keep) {
        keep = new LinkKeeper(socket, this);
        connect(timer, &QTimer::timeout, keep, &LinkKeeper::onPolled);
    }
    return keep;
}

void MeterLink::startPolling()
{
    timer->start(PollingIntervalMs);
}

void MeterLink::stopPolling()
{
    if (!timer->isActive())
        return;
    timer->stop();
    for (int i = 0; i < StopPollingPauses; ++i)
        platform::pauseMs(StopPollingPauseMs);
}
