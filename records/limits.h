#ifndef RECORDS_LIMITS_H
#define RECORDS_LIMITS_H

#include <QDate>
#include <QString>

#include <optional>

#include "records/vehicle.h"

// The station's limits of K by engine intake and first registration date.
// The starting values are for the station to review; set.ini overrides them.
struct LimitsTable {
    double naturalK = 2.5;   // m-1, naturally aspirated
    double turboK = 3.0;     // m-1, turbocharged
    QDate recentFrom = QDate(2008, 7, 1);
    double recentK = 1.5;    // m-1, first registered on or after recentFrom
};

// Where a test's limit came from.
enum class LimitSource { None, PlateValue, Table, Manual };

struct LimitChoice {
    LimitChoice() = default;
    LimitChoice(LimitSource source, double limitK, const QString &row = QString())
        : source(source), limitK(limitK), row(row) {}

    LimitSource source = LimitSource::None;
    double limitK = 0;   // m-1; meaningless for None
    QString row;         // the profile's limit row it came from; empty for 自定义

    bool hasLimit() const { return source != LimitSource::None; }
    // "plate" / "table" / "manual" as records keep it; empty for None.
    static QString sourceKey(LimitSource source);
    static LimitSource sourceFromKey(const QString &key, bool *ok = nullptr);
    // "铭牌值" / "限值表" / "手动" as the page and the report show it.
    static QString sourceText(LimitSource source);
};

// A manual limit overrides everything; else the vehicle's plate value; else
// the table by first registration date, then by intake. A service test, or
// a vehicle the table cannot place, has no limit unless one is set by hand.
LimitChoice selectLimit(const Vehicle &vehicle, const LimitsTable &table,
                        std::optional<double> manualK = std::nullopt);

// "pass" when the result, as shown with two decimals, is at most the limit.
QString verdictKey(double meanK, double limitK);

#endif
