#include "recordtool/lanerun.h"

#include <QCoreApplication>

#include "common/console.h"
#include "config/uisettings.h"
#include "host/lanehost.h"
#include "lane/dailychecks.h"
#include "lane/recordmaker.h"
#include "language/language.h"
#include "net/linkkeeper.h"
#include "net/meterlink.h"
#include "platform/signalwatcher.h"

namespace {

QString linkLine(LinkKeeper::State state, const QString &address)
{
    switch (state) {
    case LinkKeeper::State::Connecting:
        return QStringLiteral("meter: connecting");
    case LinkKeeper::State::Connected:
        return QStringLiteral("meter: connected %1").arg(address.isEmpty() ? QStringLiteral("(serial port)") : address);
    case LinkKeeper::State::Looking:
        return QStringLiteral("meter: looking for the meter");
    case LinkKeeper::State::Retrying:
        return QStringLiteral("meter: link lost, reconnecting");
    }
    return QString();
}

void reportEvents(LaneHost &host)
{
    LinkKeeper *keeper = host.meterLink()->keeper();
    QObject::connect(keeper, &LinkKeeper::stateChanged, &host, [](LinkKeeper::State state, const QString &address) {
        console::out(linkLine(state, address));
    });
    QObject::connect(keeper, &LinkKeeper::problemChanged, &host, [keeper] {
        if (!keeper->problem().isEmpty())
            console::out(QStringLiteral("meter: ") + keeper->problem());
    });
    RecordMaker *maker = host.recordMaker();
    QObject::connect(maker, &RecordMaker::recordKept, &host, [](const QString &id, bool stored) {
        console::out(QStringLiteral("record %1 %2").arg(id, stored ? QStringLiteral("stored") : QStringLiteral("kept, not stored yet")));
    });
    QObject::connect(maker, &RecordMaker::checkKept, &host, [](const QString &id, bool stored) {
        console::out(QStringLiteral("check %1 %2").arg(id, stored ? QStringLiteral("stored") : QStringLiteral("kept, not stored yet")));
    });
    QObject::connect(maker, &RecordMaker::storageProblem, &host,
                     [](const QString &reason) { console::out(QStringLiteral("storage: ") + reason); });
    QObject::connect(&host, &LaneHost::apiStatusChanged, &host,
                     [](const QString &status) { console::out(status); });  // "api: ..."
}

} // namespace

int runLane()
{
    // What the lane records and refuses is in the lane's language.
    Language::switchTo(settings::storedLanguage());
    // The records are kept on the way out, as when the program's window closes.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, qApp, &QCoreApplication::quit);
    LaneHost host;
    host.driveLinkItself();
    QObject::connect(host.addDailyChecks(), &DailyChecks::calibrationWanted, &host, &LaneHost::calibrate);
    reportEvents(host);
    host.startApiWithServices();
    host.start();
    host.findMeter();
    return QCoreApplication::exec();
}
