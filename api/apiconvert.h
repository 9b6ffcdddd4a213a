#ifndef API_APICONVERT_H
#define API_APICONVERT_H

#include "api/apitypes.h"
#include "meter/freeaccelseries.h"
#include "lane/lanereading.h"
#include "net/linkkeeper.h"

// The lane's own values as the API sends them, so that the adapter between
// the session and the server stays a list of connections.
namespace api {

// "connecting", "connected", "looking" or "retrying".
QString linkStateName(LinkKeeper::State state);

// A reading with the fields the form shows no value for left empty.
Reading readingFrom(const LaneReading &reading);

Method methodFrom(const FreeAccelMethod &method);

} // namespace api

#endif
