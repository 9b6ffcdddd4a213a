#ifndef LANE_READINGCSVWRITER_H
#define LANE_READINGCSVWRITER_H

#include <QDateTime>
#include <QObject>
#include <QString>

#include "lane/csvfile.h"
#include "lane/lanereading.h"

// Writes the readings of a recording into a CSV file (records/), one row
// per measurement reply: the reading's local time with milliseconds, then
// its shown values, empty where the form shows none. A failed write ends
// the recording; the file keeps what reached it.
class ReadingCsvWriter : public QObject
{
    Q_OBJECT

public:
    explicit ReadingCsvWriter(QObject *parent = nullptr);

    // "records/yyyyMMdd-hhmmss.csv", named by the start time.
    static QString pathFor(const QDateTime &start);
    static QString header();
    static QString row(const LaneReading &reading);

    // False, with errorString() set, when the file cannot be made or opened.
    bool start(const QString &path);
    void stop();
    void record(const LaneReading &reading);

    bool isRecording() const { return csv.isOpen(); }
    QString fileName() const { return csv.fileName(); }
    int rowCount() const { return rows; }
    QString errorString() const { return csv.errorString(); }

signals:
    void started(const QString &path);
    // After every stop; 'error' is empty when asked for, set after a failure.
    void stopped(const QString &path, const QString &error);

private:
    CsvFile csv;
    int rows = 0;
};

#endif
