#ifndef RECORDS_RECORDKEEPER_H
#define RECORDS_RECORDKEEPER_H

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QVector>

#include "records/recordstore.h"
#include "records/testrecord.h"

class QThread;
class RecordWriter;

// Sees that no finished test is lost. Every record is first written as one
// JSON file into the unsaved folder (whole, synced to disk), then stored;
// its file goes only once the database has committed it, so a kill at any
// moment leaves each ended test in one place or the other. Both run on
// threads of their own (a locked file may hold a write for seconds, which
// must not stop the polling). One the database refuses is tried again every
// retry interval and at close; what is left in the folder is taken in at the
// next start, each file checked against its hash first.
class RecordKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultRetryMs = 60000;

    RecordKeeper(const QString &databasePath, const QString &unsavedFolder,
                 QObject *parent = nullptr);
    ~RecordKeeper() override;

    void setRetryInterval(int ms);
    // Opens the database and takes in what an earlier run left unsaved; a
    // file whose content does not match its hash is moved into the
    // "rejected" folder beside them and named through storageProblem().
    void start();
    void keep(const TestRecord &record);
    void addMeterEvent(RecordStore::MeterEvent kind, const QDateTime &at,
                       const QString &meterAddress);
    // The last calibration stored or found at start.
    QDateTime lastCalibration() const { return calibration; }

    int pendingCount() const { return pending.size(); }
    // The last refusal's reason, empty once everything is stored.
    QString problem() const { return lastProblem; }

    // Tries what is pending once more, stops the thread and writes what is
    // left into the unsaved folder. Returns false when a record could not be
    // written there either; problem() says why.
    bool close();

public slots:
    void retryNow();

signals:
    void recordStored(const QString &id);
    void recordRefused(const QString &id, const QString &reason);
    void databaseReplaced(const QString &movedAside, const QString &message);
    void storageProblem(const QString &reason);
    // The daily checks of yesterday and today found at start.
    void checksFound(const QVector<RecordSummary> &checks);

private:
    void submit(const TestRecord &record);
    void writeAhead(const TestRecord &record);
    void attempted(const QString &id, bool stored, const QString &error);
    void takeInUnsaved();
    bool takeIn(const QString &path);
    void reject(const QString &path, const QString &why);
    void say(const QString &problem);
    bool writeUnsaved(const TestRecord &record);
    void forgetUnsavedFile(const QString &id);
    static QString unsavedFileFor(const QString &folder, const QString &id);
    // Empty when the record's file is whole and on disk, else why not.
    static QString writeUnsavedFile(const QString &folder, const TestRecord &record);

    QString databasePath;
    QString unsavedFolder;
    QThreadPool journal;  // the unsaved folder's writes, in order
    QThread *thread = nullptr;
    RecordWriter *writer = nullptr;
    QVector<TestRecord> pending;
    QHash<QString, bool> inFlight;
    QTimer retry;
    QString lastProblem;
    QDateTime calibration;
};

#endif
