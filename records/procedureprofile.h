#ifndef RECORDS_PROCEDUREPROFILE_H
#define RECORDS_PROCEDUREPROFILE_H

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "meter/freeaccelseries.h"
#include "records/limits.h"
#include "records/vehicle.h"

// One row of a profile's [Limits]: a limit of K and the vehicles it is for.
// An empty condition holds for every vehicle.
struct LimitRow {
    QString name;              // what the page shows, and records keep
    QString nameEn;            // what the English window shows; empty: name
    double k = 0;              // m-1; 0: the plate value's row, for a vehicle that has one
    QString variant;           // "a" / "b", or empty for both
    QDate registeredFrom;      // first registration on or after ...
    QDate registeredUntil;     // ... and on or before
    Vehicle::Intake intake = Vehicle::Intake::Unknown;
    QStringList categories;
    bool plateReplaces = false; // a plate value given for the vehicle is its limit (K may then be empty)

    bool matches(const Vehicle &vehicle, const QString &variant) const;
};

// What a record keeps of the profile it was tested by; an empty id (a
// record older than profiles) reads as 自定义.
struct ProfileStamp {
    QString id;
    QString title;
    QString standard;
    QString version;
    QString sha256;

    bool isCustom() const;
};

// The procedure a station tests by: the method, the limits and the daily
// checks of one file in profiles/, or the station's own "自定义" (the
// method and limits of set.ini, as the program has always used them).
struct ProcedureProfile {
    static const QString CustomId;   // "自定义"

    QString id = CustomId;
    QString title;
    QString titleEn;                 // the English window's; empty: title
    QString standard;                // what a report cites
    QString version;
    QString path;                    // the file; empty for 自定义
    QString sha256;                  // of the file's bytes, lower-case hex
    FreeAccelMethod method;
    double outletSpread = 0;         // m-1; 0: outlets are not compared
    QVector<LimitRow> limits;
    LimitsTable table;               // 自定义's limits
    QString variant = QStringLiteral("a");
    // Why the chosen profile cannot be used; tests are refused with it.
    QString refusal;

    bool isCustom() const { return id == CustomId; }
    bool usable() const { return refusal.isEmpty(); }
    // The title, and a limit row's name, as the window shows them: the
    // English ones where the file gives them and English is shown.
    QString shownTitle(bool english) const;
    QString shownRowName(const QString &row, bool english) const;
    static ProcedureProfile custom(const FreeAccelMethod &method, const LimitsTable &table);
    ProfileStamp stamp() const { return {id, title, standard, version, sha256}; }

    // Reads 'path'; false with the file and key named in 'error', in the
    // window's language, when a required key is missing or a value bad.
    static bool read(const QString &path, ProcedureProfile *profile, QString *error);

    // A manual limit first; else the first row for the vehicle and the
    // variant (its plate value where the row says so); 自定义: selectLimit().
    LimitChoice limitFor(const Vehicle &vehicle, std::optional<double> manualK = std::nullopt) const;
};

#endif
