#ifndef CONFIG_METERLINKSETTINGS_H
#define CONFIG_METERLINKSETTINGS_H

#include "net/serialline.h"

namespace settings {

// [Meter]: how the meter is reached. Link=network (the default: through its
// network server, [Server] IP) or Link=serial, on Port with Baud, DataBits,
// Parity, StopBits and FlowControl.
struct MeterLinkSettings
{
    bool serial = false;
    SerialLine line;
};

// A value the file holds that is not one of its key's words is logged and
// read as the key's default.
MeterLinkSettings storedMeterLink();
void storeMeterLink(const MeterLinkSettings &meter);

// Why a line's settings are refused, by key ("Port", "Baud", ...); empty
// when all are taken. 'serial' says whether a port must be named.
QString serialLineProblem(const SerialLine &line, bool serial, QString *key);

} // namespace settings

#endif
