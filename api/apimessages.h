#ifndef API_APIMESSAGES_H
#define API_APIMESSAGES_H

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include "api/apitypes.h"

// The messages the program sends, each a JSON object with a "type". The
// field names are the API's contract (docs/api.md, docs/api.schema.json).
namespace api {

QJsonObject helloMessage(const State &state);
QJsonObject readingMessage(const Reading &reading);
QJsonObject linkMessage(const Link &link);
QJsonObject seriesStartedMessage(const Method &method);
QJsonObject snapMessage(const SnapEvent &snap);
QJsonObject seriesFinishedMessage(const SeriesOutcome &outcome);
QJsonObject seriesAbandonedMessage(const SeriesOutcome &outcome);
QJsonObject recordMessage(const QString &id, bool stored);
QJsonObject meterMessage(MeterEvent event, const QDateTime &time);

// The answer to a command: ok, with the fields of 'extra' added.
QJsonObject okReply(const QJsonValue &id, const QJsonObject &extra = QJsonObject());
QJsonObject errorReply(const QJsonValue &id, const QString &error);
// A record whose stored row fails its check says so where it is given, with
// the columns that differ ("content" for the hashed JSON itself); a record
// that holds together is left as it is.
void markChecked(QJsonObject *object, const QStringList &differing);

// Local ISO 8601 with milliseconds, as in the recorder's files.
QString isoTime(const QDateTime &time);

} // namespace api

#endif
