#ifndef LANE_CSVFILE_H
#define LANE_CSVFILE_H

#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <QTimer>

class QDateTime;

// A CSV file that users keep: opened for appending (its folder made when
// missing), the header written when the file is new, lines buffered and
// pushed to the disk once a second and at close, so that a lane PC that
// loses power loses at most a second. The first failed write closes the
// file and is reported once, with the reason; what reached the file stays.
class CsvFile : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushIntervalMs = 1000;

    explicit CsvFile(QObject *parent = nullptr);
    ~CsvFile() override;

    // False, with errorString() set and no signal, when the folder or the
    // file cannot be made or opened. A file for people (opened in a
    // spreadsheet) gets a UTF-8 byte-order mark before its header when new;
    // one for programs, such as the recorded readings, none.
    bool open(const QString &path, const QString &header, bool byteOrderMark = false);
    // False once the file is closed, by a failure or by close().
    bool append(const QString &line);
    // Pushes buffered lines to the disk now; false when that fails.
    bool flush();
    void close();

    bool isOpen() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }
    QString errorString() const { return error; }

    // Local date and time as the files write them, ISO 8601 without a zone:
    // "2026-12-06T08:09:10" or, with 'ms', "2026-12-06T08:09:10.042".
    static QString timeText(const QDateTime &time, bool ms);

    // One line appended to 'path' (made with 'header' when new) and flushed.
    static bool appendOnce(const QString &path, const QString &header, const QString &line,
                           QString *error, bool byteOrderMark = false);

signals:
    void failed(const QString &reason);

private:
    void fail();

    QFile file;
    QTextStream out;
    QTimer flushTimer;
    bool dirty = false;
    QString error;
};

#endif
