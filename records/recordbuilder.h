#ifndef RECORDS_RECORDBUILDER_H
#define RECORDS_RECORDBUILDER_H

#include <QDateTime>
#include <QUuid>
#include <QVector>

#include "meter/freeaccelseries.h"
#include "records/testrecord.h"

// What a finished series hands over: its rules, snaps and result, its times
// on the series' millisecond clock and the wall clock, and its readings.
struct SeriesParts {
    FreeAccelMethod method;
    QVector<Snap> snaps;
    // When each snap settled, on the series clock; a missing end is found
    // in the trace (K back at its level before the snap).
    QVector<qint64> snapEndsMs;
    QVector<int> countedIndexes;  // into snaps
    double result = 0;            // the mean of the counted peaks
    TestRecord::Outcome outcome = TestRecord::Outcome::Abandoned;
    qint64 startedMs = 0;
    qint64 endedMs = 0;
    QDateTime started;
    QDateTime ended;
    // One entry per poll reply; K is NaN where the meter gave none.
    QVector<qint64> traceMs;
    QVector<double> traceK;
    QVector<double> traceN;
};

// Who, where and on what: everything a record holds beside the series.
struct RecordContext {
    QString station;
    QString lane;
    QString operatorName;
    QString software;
    QString meterAddress;
    QDateTime lastCalibration;
    Vehicle vehicle;
    LimitChoice limit;
};

// A sealed record (its hash set). The verdict is made here from the chosen
// limit; a series that was not valid has no result and no verdict.
TestRecord buildRecord(const SeriesParts &series, const RecordContext &context,
                       const QUuid &id = QUuid::createUuid());

#endif
