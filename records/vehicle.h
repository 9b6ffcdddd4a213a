#ifndef RECORDS_VEHICLE_H
#define RECORDS_VEHICLE_H

#include <QDate>
#include <QString>

#include <optional>

// The vehicle a free-acceleration test is made on, as the operator types it.
// A vehicle with no plate is no vehicle: the test is a service test.
struct Vehicle {
    enum class Intake { Unknown, Natural, Turbo };

    QString plate;     // normalised; empty for a service test
    QString vin;       // normalised; may be empty
    QString category = QStringLiteral("other");  // one of categories()
    Intake intake = Intake::Unknown;
    QDate firstRegistration;             // invalid when not given
    std::optional<double> odometerKm;
    std::optional<double> plateValueK;   // m-1, the "铭牌值"
    int outlets = 1;                     // exhaust outlets, 1 to MaxOutlets, each tested in turn

    static constexpr int MaxOutlets = 4;

    bool isServiceTest() const { return plate.isEmpty(); }

    static const QStringList &categories();
    // "natural" / "turbo" as records store them; empty for Unknown.
    static QString intakeKey(Intake intake);
    static Intake intakeFromKey(const QString &key, bool *ok = nullptr);
};

namespace VehicleRules {

constexpr int MaxPlateLength = 16;
constexpr int VinLength = 17;

// Trimmed and upper-cased.
QString normalisedPlate(const QString &text);
// Up to MaxPlateLength letters, digits or Chinese characters; empty is
// allowed (a service test). Takes a normalised plate.
bool isValidPlate(const QString &plate);

enum class VinCheck {
    Empty,       // none given, which is allowed
    Valid,
    WrongCheckDigit,  // well formed, but position 9 disagrees: a warning
    Invalid,     // not 17 characters of 0-9 and A-Z without I, O and Q
};

QString normalisedVin(const QString &text);
VinCheck checkVin(const QString &vin);
// The ISO 3779 check character for a well-formed VIN: '0'-'9' or 'X'.
QChar vinCheckCharacter(const QString &vin);

} // namespace VehicleRules

#endif
