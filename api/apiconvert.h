#ifndef API_APICONVERT_H
#define API_APICONVERT_H

#include "api/apitypes.h"
#include "meter/freeaccelseries.h"
#include "meter/measurement.h"
#include "net/linkkeeper.h"

// The lane's own values as the API sends them, so that the adapter between
// the session and the server stays a list of connections.
namespace api {

// "connecting", "connected", "retrying" or "sweeping".
QString linkStateName(LinkKeeper::State state);

// A decoded reply with the fields the form shows no value for left empty:
// with K below zero K, both temperatures and the energy; with the energy
// above its limit the energy.
Reading readingFrom(const Measurement::Reading &reading, const QDateTime &time, qint64 monotonicMs);

Method methodFrom(const FreeAccelMethod &method);

} // namespace api

#endif
