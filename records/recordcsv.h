#ifndef RECORDS_RECORDCSV_H
#define RECORDS_RECORDCSV_H

#include <QJsonObject>
#include <QStringList>
#include <QVector>

#include "records/recordstore.h"

// A history as the tools and the page hand it out: the fields of a listed
// record (JSON keys, also the CSV header) and the CSV file of such records.
namespace RecordCsv {

const QStringList &listFields();
// 'record' cut down to listFields().
QJsonObject listObject(const QJsonObject &record);
// The header and one line per record (queried with their JSON); numbers as
// JSON has them, peaks joined by ';', valid as yes/no. Made for people: it
// starts with a UTF-8 byte-order mark, without which Excel reads it in the
// local code page (unless 'byteOrderMark' is false), and a text that a
// spreadsheet would take as a formula (=, +, -, @, a tab or CR first) is
// written with an apostrophe in front. Written whole or not at all; false
// with the file's error in 'error'.
bool write(const QString &path, const QVector<RecordSummary> &rows, QString *error,
           bool byteOrderMark = true);

} // namespace RecordCsv

#endif
