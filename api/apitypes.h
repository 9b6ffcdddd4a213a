#ifndef API_APITYPES_H
#define API_APITYPES_H

#include <QDate>
#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "meter/metervalues.h"

// The values that travel through the API, free of the session's and the
// store's own types: the lane's adapter fills them, the server turns them
// into messages.
namespace api {

constexpr int Version = 1;

// One measurement as the form shows it; K, a temperature or the energy
// value the form shows none for goes out as null.
struct Reading {
    QDateTime time;         // local time of the reply
    qint64 monotonicMs = 0; // for spacing readings at a client's rate
    MeterValues values;
    MeterValues::Values shown;
};

struct Link {
    QString state;   // "connecting", "connected", "looking" or "retrying"
    QString address; // the meter server's address, empty while none is known
};

struct Method {
    QString name;
    int counted = 0;
    double band = 0;
    bool rejectDecreasing = false;
    int maxSnaps = 0;
    std::optional<double> limitK;
};

struct SeriesState {
    bool running = false;
    QString method;  // the running series' method, else empty
    int snaps = 0;   // snaps so far in the running series
};

struct State {
    QString version;  // the program's version
    Link link;
    SeriesState series;
    QString profile;  // the procedure profile's Id
};

struct SnapEvent {
    int index = 0;          // from 0, in the order of the series
    QDateTime time;         // when the snap started
    double peakK = 0;
    double peakN = 0;
    qint64 durationMs = 0;
};

struct SeriesOutcome {
    int snaps = 0;
    QVector<double> peaksK;       // the counted peaks
    std::optional<double> meanK;  // none when the series is not valid
    bool valid = false;
    std::optional<double> limitK;
    QString limitSource;          // "plate", "table", "manual" or empty
    QString verdict;              // "pass", "fail" or empty
    QString profile;              // the procedure profile's Id
};

enum class MeterEvent { Calibrated, FactoryReset };

struct Vehicle {
    QString plate;  // trimmed, upper case; empty for a service test
    QString vin;    // trimmed, upper case; empty when not given
    QString category;
    QString intake; // "natural", "turbo" or empty
    QDate firstRegistration;
    std::optional<double> odometerKm;
    std::optional<double> plateValueK;
    std::optional<double> outlets;  // exhaust outlets, 1 to 4; none: 1
};

struct RecordFilter {
    QString plate;    // empty: any
    QDateTime since;  // invalid: open
    QDateTime until;
    int limit = 100;
};

enum class Topic { Reading = 1, Link = 2, Series = 4, Record = 8, Meter = 16 };
constexpr int AllTopics = 31;

} // namespace api

#endif
