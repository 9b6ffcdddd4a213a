#include <QJsonDocument>

#include <cstdlib>

#include "api/apicommand.h"
#include "api/apimessages.h"
#include "records/vehicle.h"

// Any bytes, as a client's text frame: the parser takes them or says why,
// and what it takes lies within the limits the server relies on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const api::ParsedCommand p = api::parseCommand(text);
    if (p.ok != p.error.isEmpty() || (!p.id.isNull() && !p.id.isString() && !p.id.isDouble()))
        abort();
    // The reply must always be something a client can read back.
    const QJsonObject reply = p.ok ? api::okReply(p.id) : api::errorReply(p.id, p.error);
    if (QJsonDocument::fromJson(QJsonDocument(reply).toJson(QJsonDocument::Compact)).object() != reply)
        abort();
    if (!p.ok)
        return 0;
    const api::Command &c = p.command;
    if (!QList<int>{0, 1, 2, 5, 10}.contains(c.rate) || c.topics < 0 || c.topics > api::AllTopics
        || c.filter.limit < 1 || c.filter.limit > api::MaxListLimit)
        abort();
    if (c.kind == api::CommandKind::StartTest) {
        const api::Vehicle &v = c.vehicle;
        if (c.operatorName.isEmpty() || !VehicleRules::isValidPlate(v.plate)
            || VehicleRules::normalisedPlate(v.plate) != v.plate
            || VehicleRules::checkVin(v.vin) == VehicleRules::VinCheck::Invalid)
            abort();
    }
    return 0;
}
