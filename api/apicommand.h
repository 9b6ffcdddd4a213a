#ifndef API_APICOMMAND_H
#define API_APICOMMAND_H

#include <QByteArray>
#include <QLatin1String>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include "api/apitypes.h"

// A command a client sent, read from one text frame. Every field's type is
// checked before use; anything the parser does not know is refused, so a
// misspelt field is an error instead of a silent default.
namespace api {

enum class CommandKind { Auth, Subscribe, StartTest, StopTest, ClearMaxima, GetRecord, ListRecords, StartCheck };

constexpr int MaxListLimit = 500;
constexpr int OperatorMaxLength = 32;
constexpr int MethodMaxLength = 32;
constexpr double MaxNumericId = 9007199254740991.0;  // 2^53 - 1

struct Command {
    CommandKind kind = CommandKind::Auth;
    QJsonValue id;        // echoed in the reply; for getRecord also the record's id
    QString token;        // auth, startTest, stopTest, clearMaxima; may come with the records' two
    int topics = AllTopics;
    int rate = 0;         // per second; 0: every reading
    Vehicle vehicle;
    QString operatorName;
    QString method;       // empty: the method in use
    QString checkKind;    // startCheck: "zero", "filter" or "response"
    QString filterName;   // startCheck: the reference filter's name, for "filter"
    RecordFilter filter;
    QStringList warnings; // taken, but worth telling the client
};

struct ParsedCommand {
    bool ok = false;
    Command command;
    QString error;  // when !ok
    QJsonValue id;  // the command's id when it could be read, else null
};

ParsedCommand parseCommand(const QByteArray &text);

// The name of the topic whose bit is 1 << 'bit', for 'bit' below TopicCount.
constexpr int TopicCount = 5;
QLatin1String topicName(int bit);

// True for the commands that change something, which always need the token.
bool changesState(CommandKind kind);
// True for getRecord and listRecords: the records name vehicles and
// operators, so they need the token too, in the command or shown once.
bool readsRecords(CommandKind kind);

} // namespace api

#endif
