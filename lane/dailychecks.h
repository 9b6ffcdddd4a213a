#ifndef LANE_DAILYCHECKS_H
#define LANE_DAILYCHECKS_H

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <optional>

#include "meter/responsetest.h"
#include "records/recordstore.h"
#include "records/testrecord.h"

namespace settings {
class IniFile;
}
class LaneSession;
struct LaneReading;

// The checks of the meter a station makes before testing each day.
enum class CheckKind { Zero, Filter, Response };

namespace CheckKinds {
QString key(CheckKind kind);  // "zero", "filter", "response"
bool fromKey(const QString &key, CheckKind *kind);
// "零点", "滤光片", "响应时间", in the language shown.
QString shownName(CheckKind kind);
// One line on a check's values against its limits, from its record's part
// (CheckResult::toJson), in the language shown.
QString summary(const QJsonObject &check);
} // namespace CheckKinds

// The tolerances of the daily checks, group [Checks] of a settings or a
// profile file. Percentages are of opacity N; response bounds in seconds.
struct CheckRules {
    QVector<CheckKind> daily{CheckKind::Zero, CheckKind::Filter, CheckKind::Response};
    double zeroMean = 1.0;
    double zeroMax = 2.0;
    double filterTolerance = 2.0;
    double responseMin = 0.0;
    double responseMax = 1.1;

    // Missing keys keep their defaults; a bad value refuses the whole
    // group, with the key named in 'error'.
    static bool read(const settings::IniFile &file, CheckRules *rules, QString *error);
};

// [Checks] RequireDaily of set.ini: tests wait for the day's checks.
bool requireDailyChecks(const settings::IniFile &file);

// A reference filter of [Filters]: NAME=nominal N in %,certificate,due date.
struct ReferenceFilter {
    QString name;
    double nominalN = 0;
    QString certificate;
    QDate due;

    static bool parse(const QString &name, const QString &text, ReferenceFilter *filter,
                      QString *error);
    bool overdue(const QDate &today) const { return today > due; }
};

// Every filter of [Filters]; each line that cannot be read is left out and
// named in 'faults'.
QVector<ReferenceFilter> readFilters(const settings::IniFile &file, QStringList *faults);

// What one check found. The readings are N in %.
struct CheckResult {
    CheckKind kind = CheckKind::Zero;
    bool passed = false;
    std::optional<double> meanN;
    double extremeN = 0;       // zero: the reading farthest from 0
    QVector<double> readings;
    QVector<qint64> readingMs;  // from the first reading
    ReferenceFilter filter;     // filter check only
    double riseS = 0;           // response check only
    double fallS = 0;
    CheckRules rules;
    QDateTime started;
    QDateTime ended;
    QString operatorName;
    QString id;                 // of its record

    // The check's part of its record: kind, passed, meanN, limits and the
    // values its kind has.
    QJsonObject toJson() const;
    QJsonObject limits() const;
};

namespace CheckJudge {
CheckResult zero(const QVector<double> &readings, const CheckRules &rules);
CheckResult filter(const QVector<double> &readings, const ReferenceFilter &filter,
                   const CheckRules &rules);
CheckResult response(double riseS, double fallS, const CheckRules &rules);
} // namespace CheckJudge

// The day's checks of one lane: runs a zero or filter check on the
// session's readings (5 s of them; a zero check first has the meter
// calibrated), takes the response test's times, and knows which daily
// checks have passed since local midnight by the session's clock.
class DailyChecks : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 SampleMs = 5000;
    static constexpr int CalibrationWaitMs = 15000;
    // A check's pass or fail as the day's lock counts it.
    struct Entry {
        CheckKind kind;
        bool passed;
        QDateTime at;
    };

    explicit DailyChecks(LaneSession *session, QObject *parent = nullptr);

    void setRules(const CheckRules &rules) { checkRules = rules; }
    const CheckRules &rules() const { return checkRules; }
    void setRequired(bool required) { lockOn = required; }
    bool required() const { return lockOn; }
    void setFilters(const QVector<ReferenceFilter> &filters) { known = filters; }
    const QVector<ReferenceFilter> &filters() const { return known; }
    void setOperator(const QString &name) { operatorName = name; }
    void setCalibrationWait(int ms) { calibrationTimer.setInterval(ms); }

    // False with the reason while a check or a test runs, for an unknown,
    // overdue or unreadable filter, or before any reading. 'shown': the
    // reason in the window's language, else in the program's own words.
    bool start(CheckKind kind, const QString &filterName, QString *whyNot, bool shown = true);
    void cancel();
    bool running() const { return state != State::Idle; }
    CheckKind runningKind() const { return current; }
    // The rise and fall times of a response test the operator ran by hand.
    // A response check started here runs the same test on the readings'
    // Ns: the rise first, then the fall.
    void takeResponse(qint64 riseMs, qint64 fallMs);
    // Checks kept earlier (read from the records at start).
    void takeEarlier(const QVector<Entry> &entries);
    void takeStored(const QVector<RecordSummary> &checks);

    // The daily checks without a pass since local midnight.
    QVector<CheckKind> missing() const;
    bool locked() const { return lockOn && !missing().isEmpty(); }
    // "今日日常检查未完成：" and the missing checks.
    QString lockText() const;
    // Why no test may start now, in the window's language: a check runs,
    // or the lock is on. Empty when one may.
    QString refusesTest() const;

signals:
    void calibrationWanted();
    void checkStarted(CheckKind kind);
    void checkFinished(const CheckResult &result);
    void checkFailed(CheckKind kind, const QString &reason);
    void dayChanged();

private:
    enum class State { Idle, Calibrating, Sampling, Response };

    void takeReading(const LaneReading &reading);
    void startSampling();
    void finish(CheckResult result);
    QString filterProblem(const QString &name, ReferenceFilter *found, bool shown) const;

    LaneSession *session;
    CheckRules checkRules;
    QVector<ReferenceFilter> known;
    QVector<Entry> done;
    bool lockOn = false;
    QString operatorName;
    State state = State::Idle;
    CheckKind current = CheckKind::Zero;
    ReferenceFilter currentFilter;
    QDateTime startedAt;
    qint64 firstMs = -1;
    QVector<double> samples;
    QVector<qint64> sampleMs;
    QTimer calibrationTimer;
    ResponseTest responseTest;
    qint64 riseMs = -1;
};

Q_DECLARE_METATYPE(CheckResult)

#endif
