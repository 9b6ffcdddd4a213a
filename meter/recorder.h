#ifndef METER_RECORDER_H
#define METER_RECORDER_H

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <QTimer>

#include "meter/measurement.h"

// Records measurement replies as CSV rows, one per reply, in the form's own
// number texts. Rows are appended through a buffered stream and reach the
// disk once a second and at stop, so a lane PC that loses power loses at
// most a second. A failed write ends the recording; the file keeps what
// reached it.
class Recorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushIntervalMs = 1000;

    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // "records/yyyyMMdd-hhmmss.csv", named by the start time.
    static QString pathFor(const QDateTime &start);
    static QString header();
    // One row: 'time's date and time of day in ISO 8601 with milliseconds,
    // then the values as the form shows them; fields the form does not show
    // for this reply (K and after when K is negative, an energy above the
    // limit) stay empty.
    static QString row(const QDateTime &time, const Measurement::Reading &reading);

    // Opens 'path' for appending, creating its folder, and writes the header
    // to a new file. False, with errorString() set, when that fails.
    bool start(const QString &path);
    // Writes what is buffered and closes the file.
    void stop();
    // A row stamped with the local time now.
    void record(const Measurement::Reading &reading);
    // Pushes buffered rows to the disk; a failure stops the recording.
    void flush();

    bool isRecording() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }
    int rowCount() const { return rows; }
    QString errorString() const { return error; }

signals:
    void started();
    // After every stop; 'error' is empty when asked for, set after a failure.
    void stopped(const QString &error);

private:
    void fail(const QString &message);
    void takeUtcOffset();

    QFile file;
    QTextStream out;
    QTimer flushTimer;
    qint64 utcOffsetMs = 0;
    int rows = 0;
    bool dirty = false;
    QString error;
};

#endif
