#ifndef RECORDS_RECORDBUILDER_H
#define RECORDS_RECORDBUILDER_H

#include <QDateTime>
#include <QUuid>
#include <QVector>

#include "records/finishedseries.h"
#include "records/testrecord.h"

// Where and with what: everything a record holds beside the series and its subject.
struct RecordContext {
    QString station;
    QString lane;
    QString software;
    QString meterAddress;
    QDateTime lastCalibration;
};

// A sealed record (its hash set). The verdict is made here from the chosen
// limit; a series that was not valid has no result and no verdict.
TestRecord buildRecord(const FinishedSeries &series, const RecordContext &context,
                       const QUuid &id = QUuid::createUuid());

#endif
