#ifndef RECORDS_TESTRECORD_H
#define RECORDS_TESTRECORD_H

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "records/finishedseries.h"
#include "records/limits.h"
#include "records/vehicle.h"

// One snap as a record keeps it.
struct RecordSnap {
    QDateTime time;          // its start
    double peakK = 0;
    double peakN = 0;
    qint64 durationMs = 0;
    bool counted = false;    // one of the peaks that make the result
    bool purge = false;      // cleared the exhaust before the measured ones
    int outlet = 0;          // from 1, of a vehicle with several outlets; 0: one
};

// The series' readings at the poll rate, for disputes: offsets from the
// record's start; K is NaN where the meter gave none.
struct RecordTrace {
    int periodMs = 100;
    QVector<qint64> tMs;
    QVector<double> k;
    QVector<double> n;
};

// One finished free-acceleration series, whatever its end: what a test
// was made on, by whom, with which rules, what it measured and decided.
// Its JSON form is what the database, the tools and the station keep.
struct TestRecord {
    using Outcome = FinishedSeries::Ending;
    static const char TestKind[];   // "test": a free-acceleration series
    static const char CheckKind[];  // "check": one of the meter's daily checks

    QString id;              // a UUID, lower case, without braces
    QString kind = QString::fromLatin1(TestKind);
    // A check's own values (its kind, passed, meanN, limits, ...); the
    // method names the check and the trace holds its readings. Empty for a
    // test, whose JSON then has neither "kind" nor "check", as before.
    QJsonObject check;
    QDateTime started;
    QDateTime ended;
    QString station;
    QString lane;
    QString operatorName;
    Vehicle vehicle;

    QString method;
    // The procedure profile (absent in the JSON for 自定义, as before profiles).
    ProfileStamp profile;
    int purges = 0;          // absent in the JSON when none
    int counted = 4;
    double band = 0.25;
    bool rejectDecreasing = true;
    int maxSnaps = 10;
    QVector<RecordSnap> snaps;

    Outcome outcome = Outcome::Abandoned;
    std::optional<double> meanK;  // valid series only: the mean of the outlets' results
    QVector<double> outletK;      // each outlet's result, NaN for none; empty for one outlet
    LimitChoice limit;
    QString verdict;              // "pass", "fail" or empty

    QString software;
    QString meterAddress;
    QDateTime lastCalibration;    // invalid when none was seen
    RecordTrace trace;
    QString hash;                 // over canonicalContent(), see seal()

    bool valid() const { return outcome == Outcome::Valid; }
    bool isCheck() const { return kind == QLatin1String(CheckKind); }
    QVector<double> countedPeaks() const;
    static QString outcomeKey(Outcome outcome);

    QJsonObject toJson() const;
    // Every field's type is checked; returns false with the first fault.
    static bool fromJson(const QJsonObject &json, TestRecord *record, QString *error);

    // The JSON without its hash, keys sorted, compact, UTF-8.
    static QByteArray canonicalContent(QJsonObject json);
    // Lower-case hex SHA-256 of the canonical content.
    static QString hashOf(const QJsonObject &json);
    // Sets the hash from the content as it is now.
    void seal();
    bool hashMatches() const;
};

// Times as records keep them: local, ISO 8601 with milliseconds and offset.
namespace RecordTime {
QString text(const QDateTime &time);
QDateTime parse(const QString &text);
} // namespace RecordTime

#endif
