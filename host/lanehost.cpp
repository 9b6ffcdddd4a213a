#include "host/lanehost.h"

#include <QDebug>
#include <QTimer>

#include "api/apibridge.h"
#include "config/meterlinksettings.h"
#include "api/apiserver.h"
#include "config/apisettings.h"
#include "config/recordsettings.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/profilesettings.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "meter/frames.h"
#include "net/linkkeeper.h"
#include "net/meterlink.h"
#include "net/socketclient.h"
#include "records/recordkeeper.h"
#include "shm/companionexchange.h"
#include "station/stationlink.h"

LaneHost::LaneHost(QObject *parent)
    : QObject(parent)
    , link(new MeterLink(this))
    , laneSession(new LaneSession(this))
    , exchange(new CompanionExchange(this))
    , method(settings::storedFreeAccelMethod())
    , doneWithinMs(DailyChecks::CalibrationWaitMs)
{
    laneSession->setObjectName(QStringLiteral("laneSession"));
    useProfile();
    // Made now, opened with the services: a series kept before waits in the keeper.
    laneRecordMaker = new RecordMaker(laneSession, settings::databaseFile(),
                                  QString::fromLatin1(RecordMaker::DefaultUnsavedFolder), this);
    laneRecordMaker->setObjectName(QStringLiteral("recordMaker"));
    // Before any view hears of the reading, so the maxima it shows are its own.
    connect(laneSession, &LaneSession::readingTaken, this, &LaneHost::raiseMaxima);
    connect(laneSession, &LaneSession::readingTaken, this,
            [this](const LaneReading &r) { exchange->rememberMeasurement(r.frame); });
}

LaneHost::~LaneHost()
{
    // What the database has not taken yet goes to the unsaved folder.
    laneRecordMaker->close();
}

void LaneHost::driveLinkItself()
{
    SocketClient *client = link->client();
    connect(link->pollTimer(), &QTimer::timeout, this, [this] { sendToMeter(Frames::readMeasurement()); });
    connect(link->pollTimer(), &QTimer::timeout, this, [this] { sendToMeter(takeCompanionCommand()); });
    // Through the link, not the client, so a meter on a serial port is driven alike.
    connect(link, &MeterLink::linkUp, this, &LaneHost::meterConnected, Qt::QueuedConnection);
    connect(link, &MeterLink::frameReceived, this, &LaneHost::takeFrame);
    connect(client, &SocketClient::beforeConnect, client, &SocketClient::connectToServer);
    // Polling stopped for a calibration resumes once the meter reports it done.
    connect(link, &MeterLink::frameReceived, this, [this](const QByteArray &frame) {
        if (frame == Frames::calibrationDone() && calibrating) {
            calibrating = false;
            link->startPolling();
        }
    });
}

void LaneHost::start()
{
    if (started)
        return;
    started = true;
    laneSession->watchLink(link->keeper());
    // The first poll is on the wire (the client flushes each command) before
    // the database, the station link and the API take their time.
    auto firstPoll = std::make_shared<QMetaObject::Connection>();
    *firstPoll = connect(link->pollTimer(), &QTimer::timeout, this, [this, firstPoll] {
        disconnect(*firstPoll);
        QTimer::singleShot(0, this, &LaneHost::startServices);
    });
    QTimer::singleShot(ServicesLatestMs, this, &LaneHost::startServices);
}

void LaneHost::findMeter()
{
    const settings::MeterLinkSettings meter = settings::storedMeterLink();
    if (meter.serial) {
        // The port is the meter's whole address: nothing to sweep for.
        if (!link->onSerial())
            link->useSerial(meter.line);
        else
            link->keeper()->startLooking(QString());
        return;
    }
    const QString stored = settings::storedServerAddress();
    if (!stored.isEmpty() && link->client()->tryConnectServer(stored))
        return;
    qDebug() << "start find...";
    link->keeper()->startLooking(stored);
}

void LaneHost::meterConnected(const QString &address)
{
    // Empty when the stored address answered before any sweep of this run
    // found one; the file already holds that address then.
    settings::storeServerAddress(address);
    link->startPolling();
}

Measurement::FrameKind LaneHost::takeFrame(const QByteArray &frame)
{
    const Measurement::FrameKind kind = laneSession->takeFrame(frame);
    // Before the calibration handling, which may run a modal box.
    if (kind == Measurement::FrameKind::ShortReply)
        exchange->publish(frame);
    return kind;
}

QByteArray LaneHost::takeCompanionCommand()
{
    return exchange->takeCommand();
}

void LaneHost::sendToMeter(const QByteArray &frame)
{
    if (!frame.isEmpty())
        link->send(frame);
}

void LaneHost::raiseMaxima(const LaneReading &r)
{
    bool raised = Measurement::raiseMaximum(highest.n, r.n);
    raised = Measurement::raiseMaximum(highest.ns, r.ns) || raised;
    // A reply that shows no K leaves its maximum alone.
    if (r.has(LaneReading::K))
        raised = Measurement::raiseMaximum(highest.k, r.k) || raised;
    if (raised)
        emit maximaChanged(highest);
}

void LaneHost::clearMaxima()
{
    highest = Maxima();
    emit maximaChanged(highest);
}

void LaneHost::useMethod(const FreeAccelMethod &chosen)
{
    method = chosen.bounded();
    settings::storeFreeAccelMethod(method);
    if (bridge)
        bridge->setMethodInUse(method);
}

void LaneHost::useProfile()
{
    laneSession->setProfile(settings::activeProfile());
    const ProcedureProfile &p = laneSession->profile();
    if (!p.usable())
        qWarning("procedure: %s", qPrintable(p.refusal));
}

void LaneHost::startServices()
{
    if (servicesStarted)
        return;
    servicesStarted = true;
    laneRecordMaker->start();
    startStationLink();
    if (apiWanted)
        startApi();
    emit servicesReady();
}

void LaneHost::startStationLink()
{
    station = new station::StationLink(settings::storedStationServer(), laneRecordMaker->databasePath(), this);
    station->setObjectName(QStringLiteral("stationLink"));
    // Also without a server: one may be set in the settings dialog.
    connect(laneRecordMaker, &RecordMaker::recordStored, station, &station::StationLink::tryNow);
    // The forwarder then reads the new file, and the old one's unsent records.
    connect(laneRecordMaker, &RecordMaker::databaseReplaced, station, &station::StationLink::tryNow);
    connect(station, &station::StationLink::statusChanged, this, &LaneHost::stationStatusChanged);
    emit stationStatusChanged();
}

void LaneHost::useStationServer()
{
    if (station)
        station->setServer(settings::storedStationServer());
}

void LaneHost::startApiWithServices()
{
    apiWanted = true;
    if (servicesStarted)
        startApi();
}

void LaneHost::startApi()
{
    apiWanted = true;
    if (!bridge) {
        bridge = new ApiBridge(laneSession, laneRecordMaker->databasePath(), this);
        bridge->setMethodInUse(method);
        bridge->setDailyChecks(checks);
        bridge->setClearMaxima([this] { clearMaxima(); });
        connect(bridge->server(), &ApiServer::statusChanged, this, &LaneHost::apiStatusChanged);
        connect(laneRecordMaker, &RecordMaker::recordKept, bridge, &ApiBridge::recordKept);
        if (started)
            bridge->takeLink(link->keeper()->state(), link->keeper()->address());
    }
    bridge->start(settings::storedApiSettings());
}

DailyChecks *LaneHost::addDailyChecks(QStringList *faults)
{
    if (checks)
        return checks;
    checks = new DailyChecks(laneSession, this);
    checks->setObjectName(QStringLiteral("dailyChecks"));
    const settings::IniFile file;
    QStringList found;
    // A profile's [Checks] replace set.ini's, but for RequireDaily.
    const auto useRules = [this] {
        const ProcedureProfile &profile = laneSession->profile();
        const settings::IniFile rulesFile(profile.path.isEmpty() ? settings::iniPath() : profile.path);
        CheckRules rules;
        QString error;
        if (!CheckRules::read(rulesFile, &rules, &error))
            qWarning("checks: %s; the default tolerances stand", qPrintable(error));
        checks->setRules(rules);
        return error;
    };
    const QString rulesFault = useRules();
    if (!rulesFault.isEmpty())
        found << rulesFault;
    connect(laneSession, &LaneSession::profileChanged, checks, useRules);
    checks->setFilters(readFilters(file, &found));
    checks->setRequired(requireDailyChecks(file));
    checks->setOperator(settings::lastOperator());
    for (const QString &fault : found)
        qWarning("checks: %s", qPrintable(fault));
    if (faults)
        *faults = found;
    laneSession->setStartGate([this] { return checks->refusesTest(); });
    connect(laneRecordMaker->keeper(), &RecordKeeper::checksFound, checks, &DailyChecks::takeStored);
    connect(checks, &DailyChecks::checkFinished, laneRecordMaker, &RecordMaker::keepCheck);
    connect(checks, &DailyChecks::checkStarted, this, [this] { checks->setOperator(settings::lastOperator()); });
    if (bridge)
        bridge->setDailyChecks(checks);
    return checks;
}

void LaneHost::setCalibrationPacing(int stepsApart, int doneWithin)
{
    stepsApartMs = stepsApart;
    doneWithinMs = doneWithin;
}

void LaneHost::calibrate()
{
    if (calibrating)
        return;
    calibrating = true;
    const int calibration = ++calibrations;
    link->stopPolling();
    sendToMeter(Frames::calibrateStep1());
    // Never early, as a coarse timer may be: the meter needs the time.
    QTimer::singleShot(stepsApartMs, Qt::PreciseTimer, this, [this] { sendToMeter(Frames::calibrateStep2()); });
    // A meter that never reports it done is polled again all the same, so
    // the lane does not go blind; the daily check has failed by then.
    QTimer::singleShot(stepsApartMs + doneWithinMs, this, [this, calibration] {
        if (!calibrating || calibration != calibrations)
            return;
        qWarning("calibration: the meter did not report it done; polling again");
        calibrating = false;
        link->startPolling();
    });
}
