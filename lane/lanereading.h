#ifndef LANE_LANEREADING_H
#define LANE_LANEREADING_H

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QStringList>

#include "meter/measurement.h"

// One measurement reply as the lane takes it: decoded once, stamped once,
// with the values the form shows and which of them it does not show.
struct LaneReading : MeterValues {
    QByteArray frame;      // the reply as received
    qint64 monotonicMs = 0;
    QDateTime time;        // local wall time of the same instant
    Values shown;

    // Which values of a decoded reply the program shows. K below zero means
    // the meter has no valid absorption figure: K, both temperatures and the
    // energy of that reply are not shown. An energy above
    // Measurement::EnergyLimit is not taken either.
    static Values shownValues(const MeterValues &decoded);

    // A reading of 'frame' stamped 'monotonicMs' / 'time'; false for a frame
    // that is no measurement reply.
    static bool fromReply(const QByteArray &frame, qint64 monotonicMs, const QDateTime &time,
                          LaneReading *reading);

    bool has(Value value) const { return shown.testFlag(value); }
    // N, Ns, K, chamber, smoke, energy as the form writes them
    // (QString::number), empty where a value is not shown.
    QStringList shownTexts() const;
};

Q_DECLARE_METATYPE(LaneReading)

// The clock a lane stamps with: monotonic milliseconds and the local wall
// time read together, so that both stamps of a reading name one instant.
struct LaneStamp {
    qint64 monotonicMs = 0;
    QDateTime time;
};

#endif
