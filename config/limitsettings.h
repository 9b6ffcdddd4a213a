#ifndef CONFIG_LIMITSETTINGS_H
#define CONFIG_LIMITSETTINGS_H

#include "records/limits.h"

// The limits table in "./set.ini", section [Limits]:
//
//   [Limits]
//   NaturalK=2.5          m-1, naturally aspirated
//   TurboK=3.0            m-1, turbocharged
//   RecentFrom=2008-07-01 first registration on or after this date ...
//   RecentK=1.5           ... gets this limit, whatever the intake
//
// A missing or unreadable value keeps its starting value.
namespace settings {

LimitsTable storedLimitsTable();
void storeLimitsTable(const LimitsTable &table);

} // namespace settings

#endif
