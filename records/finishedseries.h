#ifndef RECORDS_FINISHEDSERIES_H
#define RECORDS_FINISHEDSERIES_H

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVector>

#include "meter/freeaccelseries.h"
#include "records/procedureprofile.h"
#include "records/testsubject.h"

// Everything a finished free-acceleration series leaves behind, as one
// value: what the session announces, the page and the API show, and the
// record is built from, without asking the session again.
struct FinishedSeries {
    enum class Ending { Valid, Invalid, Abandoned };

    // One reading of the series, 'offsetMs' after its start; K is absent
    // where the meter gave none.
    struct TracePoint {
        qint64 offsetMs = 0;
        double n = 0;
        bool hasK = false;
        double k = 0;
    };

    TestSubject subject;         // the vehicle, operator and limit it ran on
    ProfileStamp profile;        // the procedure it ran by
    FreeAccelMethod method;      // the rules the series ran with, the subject's limit in them
    QVector<Snap> snaps;         // every snap, times on the monotonic clock
    QVector<int> countedIndexes; // into snaps: the peaks that make the result
    // A vehicle of several outlets: the outlet (from 1) of each snap, and
    // each outlet's result (NaN for none); both empty for one outlet.
    QVector<int> snapOutlets;
    QVector<double> outletResults;
    bool hasResult = false;
    double result = 0;           // the mean of the counted peaks (of the outlets' results), two decimals
    Ending ending = Ending::Abandoned;
    QString verdict;             // "合格" / "不合格", or empty without a limit
    QDateTime started;           // local, with milliseconds
    QDateTime ended;
    qint64 startedMs = 0;        // the monotonic stamp of 'started'
    QVector<TracePoint> trace;

    bool valid() const { return ending == Ending::Valid; }
    // The monotonic stamp of 'ended'.
    qint64 endedMs() const { return startedMs + started.msecsTo(ended); }
    // The local time of a monotonic stamp of this series (a snap's peakMs).
    QDateTime timeAt(qint64 monotonicMs) const { return timeAt(started, startedMs, monotonicMs); }
    // The same for a series that started at 'start', 'startMs' on the monotonic clock.
    static QDateTime timeAt(const QDateTime &start, qint64 startMs, qint64 monotonicMs)
    {
        return start.addMSecs(monotonicMs - startMs);
    }

    // The outlets' series, one after another, as one test: valid when each
    // is and their results lie within 'spread' (m-1; 0: any), the result
    // their mean. 'trace' is the whole test's, from the first start.
    static FinishedSeries combine(const QVector<FinishedSeries> &outlets, double spread,
                                  const QVector<TracePoint> &trace);

    // 'series' just ended at 'end'; it was started on 'subject' at 'start'.
    // Peaks and readings are kept in hundredths, as the meter sent them.
    static FinishedSeries of(const FreeAccelSeries &series, const TestSubject &subject,
                             const ProfileStamp &profile, const QDateTime &start, const QDateTime &end,
                             const QVector<TracePoint> &trace);
};

Q_DECLARE_METATYPE(FinishedSeries)

#endif
