#ifndef API_VEHICLEFIELDS_H
#define API_VEHICLEFIELDS_H

#include <QString>

// The vehicle panel's rules for a plate and a VIN, as the API applies them
// to a test started from outside. Kept apart in this one file so that the
// panel's own vehicle unit can take its place.
namespace vehiclefields {

constexpr int PlateMaxLength = 16;
constexpr int VinLength = 17;

// Trims and upper-cases 'text'. Empty text is a plate too: a service test
// has none. Returns false, with 'error' set, for more than PlateMaxLength
// characters or for a character other than a letter A-Z, a digit or a
// Chinese character.
bool normalisePlate(const QString &text, QString *plate, QString *error);

// Trims and upper-cases 'text'; empty text means no VIN. Returns false, with
// 'error' set, unless it is VinLength characters of 0-9 and A-Z without I,
// O and Q. A VIN whose check digit (ninth character, ISO 3779) disagrees is
// taken, since not every region uses one, and 'warning' says so.
bool normaliseVin(const QString &text, QString *vin, QString *error, QString *warning);

// The check digit the other sixteen characters call for ('0'-'9' or 'X'), or
// a null QChar when 'vin' is not a well-formed VIN.
QChar vinCheckDigit(const QString &vin);

} // namespace vehiclefields

#endif
