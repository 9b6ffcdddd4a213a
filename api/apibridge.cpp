#include "api/apibridge.h"

#include <QJsonDocument>

#include "api/apiconvert.h"
#include "api/apimessages.h"
#include "api/apiserver.h"
#include "config/profilesettings.h"
#include "config/settings.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "records/finishedseries.h"
#include "records/limits.h"
#include "records/recordcsv.h"
#include "records/recordreader.h"

#ifndef OPA_VERSION
#error "OPA_VERSION names the program's version"
#endif

namespace {

const QString SeriesRunning = QStringLiteral("refused: a series is running");

// The records' vehicle for the API's one.
Vehicle vehicleFrom(const api::Vehicle &v)
{
    Vehicle out;
    out.plate = v.plate;
    out.vin = v.vin;
    out.category = v.category;
    out.intake = Vehicle::intakeFromKey(v.intake);
    out.firstRegistration = v.firstRegistration;
    out.odometerKm = v.odometerKm;
    out.plateValueK = v.plateValueK;
    out.outlets = v.outlets ? int(*v.outlets) : 1;
    return out;
}

// A finished or abandoned series as the API reports it.
api::SeriesOutcome outcomeFrom(const FinishedSeries &o)
{
    api::SeriesOutcome out;
    out.snaps = o.snaps.size();
    for (int i : o.countedIndexes)
        out.peaksK << o.snaps.at(i).peakK;
    out.valid = o.valid();
    if (o.hasResult)
        out.meanK = o.result;
    out.profile = o.profile.isCustom() ? ProcedureProfile::CustomId : o.profile.id;
    const LimitChoice &limit = o.subject.limit;
    if (limit.hasLimit()) {
        out.limitK = limit.limitK;
        out.limitSource = LimitChoice::sourceKey(limit.source);
        if (o.hasResult)
            out.verdict = verdictKey(o.result, limit.limitK);
    }
    return out;
}

} // namespace

ApiBridge::ApiBridge(LaneSession *session, const QString &databaseFile, QObject *parent)
    : QObject(parent), session(session), apiServer(new ApiServer(this, this)),
      reader(new RecordReader(databaseFile, this))
{
    reader->setWords(Words::Source);
    followSession();
}

ApiBridge::~ApiBridge() = default;

bool ApiBridge::start(const settings::ApiSettings &config)
{
    return apiServer->start(config);
}

void ApiBridge::followSession()
{
    connect(session, &LaneSession::readingTaken, this, [this](const LaneReading &r) {
        apiServer->publishReading(api::readingFrom(r));
    });
    connect(session, &LaneSession::linkChanged, this, &ApiBridge::takeLink);
    connect(session, &LaneSession::seriesStarted, this, [this](const FreeAccelMethod &m) {
        apiServer->publishSeriesStarted(api::methodFrom(m));
    });
    // A snap is announced once it has settled, on the reply that settled it.
    connect(session, &LaneSession::snapFound, this, [this](const Snap &snap, int index) {
        apiServer->publishSnap({index, session->timeAt(snap.startMs), snap.peakK, snap.peakN,
                          session->lastReading().monotonicMs - snap.startMs});
    });
    connect(session, &LaneSession::seriesFinished, this, [this](const FinishedSeries &o) {
        apiServer->publishSeriesFinished(outcomeFrom(o));
    });
    connect(session, &LaneSession::seriesAbandoned, this, [this](const FinishedSeries &o) {
        apiServer->publishSeriesAbandoned(outcomeFrom(o));
    });
    connect(session, &LaneSession::calibrated, this, [this](const QDateTime &time) {
        apiServer->publishMeter(api::MeterEvent::Calibrated, time);
    });
    connect(session, &LaneSession::factoryResetDone, this, [this](const QDateTime &time) {
        apiServer->publishMeter(api::MeterEvent::FactoryReset, time);
    });
}

void ApiBridge::takeLink(LinkKeeper::State state, const QString &address)
{
    link = {api::linkStateName(state), address};
    apiServer->publishLink(link);
}

void ApiBridge::recordKept(const QString &id, bool stored)
{
    apiServer->publishRecord(id, stored);
}

api::State ApiBridge::state() const
{
    api::State s;
    s.version = QStringLiteral(OPA_VERSION);
    s.link = link;
    s.profile = session->profile().id;
    if (session->testRunning())
        s.series = {true, session->series().method().name, int(session->series().snaps().size())};
    return s;
}

bool ApiBridge::startTest(const api::Vehicle &vehicle, const QString &operatorName, const QString &method,
                          QString *error)
{
    // The server has already refused while the meter is away or a series runs.
    FreeAccelMethod rules;
    return methodNamed(method, &rules, error) && startTestFor(vehicleFrom(vehicle), operatorName, rules, error);
}

// The limit is chosen as the page chooses it: a limit set by hand on the
// method, else the vehicle's plate value, else the station's table.
bool ApiBridge::startTestFor(const Vehicle &vehicle, const QString &operatorName, const FreeAccelMethod &method,
                             QString *error)
{
    std::optional<double> manualK;
    if (method.hasLimit)
        manualK = method.limitK;
    const TestSubject subject = settings::subjectFor(session->profile(), vehicle, operatorName, manualK);
    // The reply's words do not follow the window's language.
    *error = subject.fault(Words::Source);
    // A chosen profile that cannot be used refuses every test, never one run by other rules.
    if (error->isEmpty() && !session->profile().usable())
        *error = QStringLiteral("refused: the procedure profile cannot be used: ") + session->profile().refusal;
    if (error->isEmpty() && dailyChecks && dailyChecks->running())
        *error = QStringLiteral("refused: a daily check is running");
    if (error->isEmpty() && dailyChecks && dailyChecks->locked())
        *error = QStringLiteral("refused: the daily checks are not done");
    if (error->isEmpty() && !session->startTest(method, subject))
        *error = SeriesRunning;
    return error->isEmpty();
}

// A preset named otherwise than the method in use comes with its own rules
// and no limit.
bool ApiBridge::methodNamed(const QString &name, FreeAccelMethod *method, QString *error) const
{
    if (name.isEmpty() || name == inUse.name) {
        *method = inUse;
        return true;
    }
    QStringList names{inUse.name};
    for (const FreeAccelMethod &preset : FreeAccelMethod::presets()) {
        if (preset.name == name) {
            *method = preset;
            return true;
        }
        if (!names.contains(preset.name))
            names << preset.name;
    }
    *error = QStringLiteral("no method '%1': one of %2").arg(name, names.join(QLatin1String(", ")));
    return false;
}

bool ApiBridge::stopTest(QString *error)
{
    if (session->stopTest())
        return true;
    *error = QStringLiteral("no series is running");
    return false;
}

void ApiBridge::setDailyChecks(DailyChecks *checks)
{
    dailyChecks = checks;
    connect(checks, &DailyChecks::checkFinished, this, [this](const CheckResult &r) {
        apiServer->publishCheck({{"kind", CheckKinds::key(r.kind)}, {"passed", r.passed},
                                 {"meanN", r.meanN ? QJsonValue(*r.meanN) : QJsonValue()},
                                 {"limits", r.limits()}, {"id", r.id}});
    });
}

bool ApiBridge::startCheck(const QString &kind, const QString &filter, QString *error)
{
    CheckKind which;
    if (!dailyChecks || !CheckKinds::fromKey(kind, &which)) {
        *error = QStringLiteral("this program makes no daily checks");
        return false;
    }
    // The reply's words do not follow the window's language.
    return dailyChecks->start(which, filter, error, false);
}

bool ApiBridge::clearMaxima(QString *error)
{
    if (!clearHook) {
        *error = QStringLiteral("this program has no maxima to clear");
        return false;
    }
    clearHook();
    return true;
}

// A database that is not there yet holds no records; one that cannot be
// read is an error the client is told. The check runs with the read, on the
// reader's thread.
void ApiBridge::record(const QString &id, RecordDone done)
{
    using Found = QPair<QJsonObject, QStringList>;
    reader->read<Found>(
        RecordReader::EachAnswered,
        [id](RecordStore &store) {
            TestRecord found;
            QStringList differing;
            return store.find(id, &found, &differing) ? Found(found.toJson(), differing) : Found();
        },
        [id, done](const Found &found, const QString &error) {
            if (!error.isEmpty())
                done({}, {}, QStringLiteral("records database: %1").arg(error));
            else
                done(found.first, found.second,
                     found.first.isEmpty() ? QStringLiteral("no record %1").arg(id) : QString());
        });
}

// The rows are turned into the API's shape on the reader's thread too: 500
// records' JSON and their checks are work the window's thread need not do.
void ApiBridge::listRecords(const api::RecordFilter &filter, ListDone done)
{
    RecordFilter f;
    f.plate = filter.plate;
    f.sinceTime = filter.since;
    f.untilTime = filter.until;
    f.limit = filter.limit;
    reader->read<QJsonArray>(
        RecordReader::EachAnswered,
        [f](RecordStore &store) {
            const QVector<RecordSummary> rows = store.query(f, true);
            QStringList ids;
            for (const RecordSummary &row : rows)
                ids << row.id;
            const QHash<QString, QStringList> failed = store.check(ids);
            QJsonArray records;
            for (const RecordSummary &row : rows) {
                QJsonObject line = RecordCsv::listObject(QJsonDocument::fromJson(row.json.toUtf8()).object());
                api::markChecked(&line, failed.value(row.id));
                records.append(line);
            }
            return records;
        },
        [done](const QJsonArray &records, const QString &error) {
            done(records, error.isEmpty() ? QString() : QStringLiteral("records database: %1").arg(error));
        });
}
