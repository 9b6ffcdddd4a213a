#ifndef RECORDS_TESTSUBJECT_H
#define RECORDS_TESTSUBJECT_H

#include <QMetaType>
#include <QString>

#include <optional>

#include "records/limits.h"
#include "records/procedureprofile.h"
#include "records/vehicle.h"
#include "records/words.h"

// What a free-acceleration test is made on and by whom, fixed when the
// series starts: the vehicle (none for a service test), the operator and
// the limit chosen for it. The series' verdict and its record use this
// limit, whoever started the series (the page or a remote caller).
struct TestSubject {
    Vehicle vehicle;
    QString operatorName;
    LimitChoice limit;

    // The limit chosen by selectLimit(): a manual one, else the plate
    // value, else the station's table.
    static TestSubject of(const Vehicle &vehicle, const QString &operatorName,
                          const LimitsTable &table, std::optional<double> manualK = std::nullopt);
    // The same by a procedure profile's limits (自定义: its table).
    static TestSubject of(const Vehicle &vehicle, const QString &operatorName,
                          const ProcedureProfile &profile, std::optional<double> manualK = std::nullopt);

    // The plate and VIN trimmed and upper-cased.
    TestSubject normalised() const;
    // Why this subject cannot be tested (a plate or VIN against the rules);
    // empty when it can. A VIN whose check digit disagrees passes: not
    // every market uses it.
    QString fault(Words words = Words::Shown) const;
};

Q_DECLARE_METATYPE(TestSubject)

#endif
