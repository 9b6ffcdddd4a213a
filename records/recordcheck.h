#ifndef RECORDS_RECORDCHECK_H
#define RECORDS_RECORDCHECK_H

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVariant>

// A row of the records table as the file holds it, before anything is
// derived from it. The columns are copies of the record's JSON kept for
// filtering and sorting; only the JSON is covered by the hash.
struct StoredRecord {
    QString id;
    QVariant started, ended, plate, vin, verdict, operatorName, station, lane, method, outcome;
    QVariant meanK, limitK;
    QString hash;
    QString json;
    QVariant kind;  // not compared when not read
};

// Whether what the history, the tool, the API and the report show of a
// record is what was hashed: the JSON against its hash, and every shown
// column against the JSON. A person who edits the file (triggers dropped)
// can change a column or the JSON; either is found here.
class RecordCheck
{
    Q_DECLARE_TR_FUNCTIONS(RecordCheck)

public:
    // The names of the columns that disagree with the JSON, and "content"
    // when the JSON does not match its hash or cannot be read; empty when
    // the row holds together.
    static QStringList differences(const StoredRecord &row);
    // "记录校验失败", in the language shown.
    static QString failedText();
    // The same, for what the tool prints and the logs.
    static QString failedWords() { return QStringLiteral("Record check failed"); }
};

// Names a person types (the operator, the station, the lane) or a client
// sends: no control characters, which would break a report's or a log's
// lines or hide text on a terminal. Empty when 'name' may be used, else why
// not: in the language shown, or with 'shown' false in the program's own
// Chinese (for what a machine reads).
QString nameProblem(const QString &name, bool shown = true);

#endif
