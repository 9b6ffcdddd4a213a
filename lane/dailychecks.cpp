#include "lane/dailychecks.h"

#include <QJsonArray>
#include <QUuid>

#include <cmath>

#include "config/inifile.h"
#include "lane/lanesession.h"
#include "meter/metervalues.h"

namespace {

const char Context[] = "DailyChecks";

// A text in the window's language, or the program's own for a machine's reader.
QString say(const char *text, bool shown)
{
    return shown ? QCoreApplication::translate(Context, text) : QString::fromUtf8(text);
}

const struct {
    CheckKind kind;
    const char *key;
    const char *name;
} kinds[] = {
    {CheckKind::Zero, "zero", QT_TRANSLATE_NOOP("DailyChecks", "零点")},
    {CheckKind::Filter, "filter", QT_TRANSLATE_NOOP("DailyChecks", "滤光片")},
    {CheckKind::Response, "response", QT_TRANSLATE_NOOP("DailyChecks", "响应时间")},
};

// A value a person typed, or a list QSettings split at its commas.
QString textOf(const QVariant &value)
{
    return value.type() == QVariant::StringList ? value.toStringList().join(QLatin1Char(','))
                                                : value.toString().trimmed();
}

bool readNumber(const settings::IniFile &file, const char *key, double low, double high,
                double *out, QString *error)
{
    const QString path = QStringLiteral("Checks/") + QLatin1String(key);
    if (!file.contains(path))
        return true;
    bool ok = false;
    const double value = textOf(file.value(path)).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high) {
        *error = QStringLiteral("[Checks] %1: a number from %2 to %3")
                     .arg(QLatin1String(key)).arg(low).arg(high);
        return false;
    }
    *out = value;
    return true;
}

bool readDaily(const settings::IniFile &file, QVector<CheckKind> *daily, QString *error)
{
    if (!file.contains(QStringLiteral("Checks/Daily")))
        return true;
    daily->clear();
    for (const QString &word : textOf(file.value(QStringLiteral("Checks/Daily")))
                                   .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        CheckKind kind;
        if (!CheckKinds::fromKey(word.trimmed(), &kind)) {
            *error = QStringLiteral("[Checks] Daily: '%1' is none of zero, filter, response")
                         .arg(word.trimmed());
            return false;
        }
        if (!daily->contains(kind))
            daily->append(kind);
    }
    return true;
}

double mean(const QVector<double> &values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return values.isEmpty() ? 0 : sum / values.size();
}

} // namespace

namespace CheckKinds {

QString key(CheckKind kind)
{
    for (const auto &k : kinds)
        if (k.kind == kind)
            return QLatin1String(k.key);
    return QString();
}

bool fromKey(const QString &key, CheckKind *kind)
{
    for (const auto &k : kinds)
        if (key == QLatin1String(k.key)) {
            *kind = k.kind;
            return true;
        }
    return false;
}

QString shownName(CheckKind kind)
{
    for (const auto &k : kinds)
        if (k.kind == kind)
            return QCoreApplication::translate(Context, k.name);
    return QString();
}

QString summary(const QJsonObject &check)
{
    const QJsonObject limits = check.value(QLatin1String("limits")).toObject();
    const auto number = [](const QJsonValue &v, int decimals = 2) {
        return QString::number(v.toDouble(), 'f', decimals);
    };
    const QString verdict = check.value(QLatin1String("passed")).toBool()
                                ? QCoreApplication::translate("DailyChecks", "通过")
                                : QCoreApplication::translate("DailyChecks", "未通过");
    const QString kind = check.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("zero"))
        return QCoreApplication::translate("DailyChecks", "零点检查%1：平均 N %2 %（限 ±%3 %），最大偏离 %4 %（限 ±%5 %）")
            .arg(verdict, number(check.value(QLatin1String("meanN"))), number(limits.value(QLatin1String("mean")), 1),
                 number(check.value(QLatin1String("extremeN"))), number(limits.value(QLatin1String("max")), 1));
    if (kind == QLatin1String("filter"))
        return QCoreApplication::translate("DailyChecks", "滤光片 %1 检查%2：平均 N %3 %，标称 %4 %（限 ±%5 %）")
            .arg(check.value(QLatin1String("filter")).toObject().value(QLatin1String("name")).toString(), verdict,
                 number(check.value(QLatin1String("meanN"))), number(limits.value(QLatin1String("nominal")), 1),
                 number(limits.value(QLatin1String("tolerance")), 1));
    return QCoreApplication::translate("DailyChecks", "响应时间检查%1：上升 %2 s，下降 %3 s（限 %4–%5 s）")
        .arg(verdict, number(check.value(QLatin1String("riseS"))), number(check.value(QLatin1String("fallS"))),
             number(limits.value(QLatin1String("min")), 1), number(limits.value(QLatin1String("max")), 1));
}

} // namespace CheckKinds

bool CheckRules::read(const settings::IniFile &file, CheckRules *rules, QString *error)
{
    CheckRules out;
    const bool ok = readDaily(file, &out.daily, error)
                    && readNumber(file, "ZeroMean", 0.01, 10, &out.zeroMean, error)
                    && readNumber(file, "ZeroMax", 0.01, 20, &out.zeroMax, error)
                    && readNumber(file, "FilterTolerance", 0.01, 20, &out.filterTolerance, error)
                    && readNumber(file, "ResponseMin", 0, 10, &out.responseMin, error)
                    && readNumber(file, "ResponseMax", 0.01, 10, &out.responseMax, error);
    if (ok && out.responseMin >= out.responseMax) {
        *error = QStringLiteral("[Checks] ResponseMin: must be below ResponseMax");
        return false;
    }
    if (ok)
        *rules = out;
    return ok;
}

bool requireDailyChecks(const settings::IniFile &file)
{
    return textOf(file.value(QStringLiteral("Checks/RequireDaily"))).toLower()
           == QLatin1String("true");
}

bool ReferenceFilter::parse(const QString &name, const QString &text, ReferenceFilter *filter,
                            QString *error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    ReferenceFilter out;
    out.name = name.trimmed();
    bool ok = parts.size() == 3;
    if (ok)
        out.nominalN = parts.at(0).trimmed().toDouble(&ok);
    ok = ok && out.nominalN > 0 && out.nominalN < 100;
    if (ok) {
        out.certificate = parts.at(1).trimmed();
        out.due = QDate::fromString(parts.at(2).trimmed(), Qt::ISODate);
    }
    if (!ok || out.certificate.isEmpty() || !out.due.isValid() || out.name.isEmpty()) {
        *error = QStringLiteral("[Filters] %1: not 'nominal N in %, certificate, due date "
                                "(yyyy-MM-dd)'").arg(name);
        return false;
    }
    *filter = out;
    return true;
}

QVector<ReferenceFilter> readFilters(const settings::IniFile &file, QStringList *faults)
{
    QVector<ReferenceFilter> filters;
    QSettings raw(file.fileName(), QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    raw.beginGroup(QStringLiteral("Filters"));
    for (const QString &name : raw.childKeys()) {
        ReferenceFilter filter;
        QString error;
        const QString text = textOf(file.value(QStringLiteral("Filters/") + name));
        if (ReferenceFilter::parse(name, text, &filter, &error))
            filters << filter;
        else
            faults->append(error);
    }
    return filters;
}

QJsonObject CheckResult::limits() const
{
    switch (kind) {
    case CheckKind::Zero:
        return {{"mean", rules.zeroMean}, {"max", rules.zeroMax}};
    case CheckKind::Filter:
        return {{"nominal", filter.nominalN}, {"tolerance", rules.filterTolerance}};
    case CheckKind::Response:
        break;
    }
    return {{"min", rules.responseMin}, {"max", rules.responseMax}};
}

QJsonObject CheckResult::toJson() const
{
    QJsonObject json{{"kind", CheckKinds::key(kind)}, {"passed", passed},
                     {"meanN", meanN ? QJsonValue(*meanN) : QJsonValue()},
                     {"limits", limits()}};
    if (kind == CheckKind::Zero)
        json.insert(QStringLiteral("extremeN"), extremeN);
    if (kind == CheckKind::Filter)
        json.insert(QStringLiteral("filter"),
                    QJsonObject{{"name", filter.name}, {"nominalN", filter.nominalN},
                                {"certificate", filter.certificate},
                                {"due", filter.due.toString(Qt::ISODate)}});
    if (kind == CheckKind::Response) {
        json.insert(QStringLiteral("riseS"), riseS);
        json.insert(QStringLiteral("fallS"), fallS);
    }
    return json;
}

namespace CheckJudge {

CheckResult zero(const QVector<double> &readings, const CheckRules &rules)
{
    CheckResult r;
    r.kind = CheckKind::Zero;
    r.rules = rules;
    r.readings = readings;
    r.meanN = hundredths(mean(readings));
    for (double n : readings)
        if (std::abs(n) > std::abs(r.extremeN))
            r.extremeN = n;
    r.passed = !readings.isEmpty() && std::abs(*r.meanN) <= rules.zeroMean
               && std::abs(hundredths(r.extremeN)) <= rules.zeroMax;
    return r;
}

CheckResult filter(const QVector<double> &readings, const ReferenceFilter &filter,
                   const CheckRules &rules)
{
    CheckResult r;
    r.kind = CheckKind::Filter;
    r.rules = rules;
    r.filter = filter;
    r.readings = readings;
    r.meanN = hundredths(mean(readings));
    r.passed = !readings.isEmpty()
               && hundredths(std::abs(*r.meanN - filter.nominalN)) <= rules.filterTolerance;
    return r;
}

CheckResult response(double riseS, double fallS, const CheckRules &rules)
{
    CheckResult r;
    r.kind = CheckKind::Response;
    r.rules = rules;
    r.riseS = riseS;
    r.fallS = fallS;
    const auto within = [&](double s) { return s >= rules.responseMin && s <= rules.responseMax; };
    r.passed = within(riseS) && within(fallS);
    return r;
}

} // namespace CheckJudge

DailyChecks::DailyChecks(LaneSession *session, QObject *parent)
    : QObject(parent)
    , session(session)
{
    qRegisterMetaType<CheckResult>();
    calibrationTimer.setSingleShot(true);
    calibrationTimer.setInterval(CalibrationWaitMs);
    connect(&calibrationTimer, &QTimer::timeout, this, [this] {
        state = State::Idle;
        emit checkFailed(current, tr("仪表未在规定时间内完成校准，零点检查未做"));
    });
    connect(session, &LaneSession::readingTaken, this, &DailyChecks::takeReading);
    connect(session, &LaneSession::calibrated, this, [this] {
        if (state == State::Calibrating)
            startSampling();
    });
}

QString DailyChecks::filterProblem(const QString &name, ReferenceFilter *found, bool shown) const
{
    for (const ReferenceFilter &f : known)
        if (f.name == name) {
            if (f.overdue(session->now().time.date()))
                return say(QT_TRANSLATE_NOOP("DailyChecks", "滤光片 %1 的检定已于 %2 到期，不能使用"),
                           shown)
                    .arg(f.name, f.due.toString(Qt::ISODate));
            *found = f;
            return QString();
        }
    return say(QT_TRANSLATE_NOOP("DailyChecks", "set.ini 的 [Filters] 中没有滤光片 %1"), shown)
        .arg(name);
}

bool DailyChecks::start(CheckKind kind, const QString &filterName, QString *whyNot, bool shown)
{
    QString why;
    if (state != State::Idle)
        why = say(QT_TRANSLATE_NOOP("DailyChecks", "日常检查正在进行"), shown);
    else if (session->testRunning())
        why = say(QT_TRANSLATE_NOOP("DailyChecks", "测量正在进行"), shown);
    else if (!session->hasReading())
        why = say(QT_TRANSLATE_NOOP("DailyChecks", "仪表尚无读数"), shown);
    else if (kind == CheckKind::Filter)
        why = filterProblem(filterName, &currentFilter, shown);
    if (!why.isEmpty()) {
        if (whyNot)
            *whyNot = why;
        return false;
    }
    current = kind;
    startedAt = session->now().time;
    emit checkStarted(kind);
    if (kind == CheckKind::Zero) {
        state = State::Calibrating;
        calibrationTimer.start();
        emit calibrationWanted();
    } else if (kind == CheckKind::Response) {
        state = State::Response;
        riseMs = -1;
        responseTest.armRise();
    } else {
        startSampling();
    }
    return true;
}

void DailyChecks::cancel()
{
    if (state == State::Idle)
        return;
    calibrationTimer.stop();
    responseTest.clear();
    state = State::Idle;
    emit checkFailed(current, tr("日常检查已停止"));
}

void DailyChecks::startSampling()
{
    calibrationTimer.stop();
    state = State::Sampling;
    firstMs = -1;
    samples.clear();
    sampleMs.clear();
}

void DailyChecks::takeReading(const LaneReading &reading)
{
    if (state == State::Response) {
        const ResponseTest::Tick tick = responseTest.tick(reading.ns);
        if (tick.riseEnded) {
            riseMs = tick.elapsedMs;
            responseTest.armFall();
        } else if (tick.fallEnded) {
            takeResponse(riseMs, tick.elapsedMs);
        }
        return;
    }
    if (state != State::Sampling)
        return;
    if (firstMs < 0)
        firstMs = reading.monotonicMs;
    const qint64 offset = reading.monotonicMs - firstMs;
    if (offset > SampleMs) {
        finish(current == CheckKind::Zero
                   ? CheckJudge::zero(samples, checkRules)
                   : CheckJudge::filter(samples, currentFilter, checkRules));
        return;
    }
    samples << hundredths(reading.n);
    sampleMs << offset;
}

void DailyChecks::takeResponse(qint64 riseMs, qint64 fallMs)
{
    if (state == State::Calibrating || state == State::Sampling)
        return;
    startedAt = session->now().time.addMSecs(-(riseMs + fallMs));
    finish(CheckJudge::response(riseMs / 1000.0, fallMs / 1000.0, checkRules));
}

void DailyChecks::finish(CheckResult result)
{
    state = State::Idle;
    result.readingMs = sampleMs;
    result.started = startedAt;
    result.ended = session->now().time;
    result.operatorName = operatorName;
    result.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    done.append({result.kind, result.passed, result.ended});
    emit checkFinished(result);
    emit dayChanged();
}

void DailyChecks::takeEarlier(const QVector<Entry> &entries)
{
    done = entries + done;
    emit dayChanged();
}

void DailyChecks::takeStored(const QVector<RecordSummary> &checks)
{
    QVector<Entry> entries;
    for (const RecordSummary &row : checks) {
        CheckKind kind;
        if (CheckKinds::fromKey(row.method, &kind))
            entries.append({kind, row.verdict == QLatin1String("pass"), row.started});
    }
    takeEarlier(entries);
}

QVector<CheckKind> DailyChecks::missing() const
{
    const QDateTime midnight = session->now().time.date().startOfDay(
        Qt::OffsetFromUTC, session->now().time.offsetFromUtc());
    QVector<CheckKind> out;
    for (CheckKind kind : checkRules.daily) {
        bool passed = false;
        for (const Entry &e : done)
            passed = passed || (e.kind == kind && e.passed && e.at >= midnight);
        if (!passed)
            out << kind;
    }
    return out;
}

QString DailyChecks::refusesTest() const
{
    if (running())
        return tr("日常检查正在进行");
    return locked() ? lockText() : QString();
}

QString DailyChecks::lockText() const
{
    QStringList names;
    for (CheckKind kind : missing())
        names << CheckKinds::shownName(kind);
    return tr("今日日常检查未完成：") + names.join(tr("、"));
}
