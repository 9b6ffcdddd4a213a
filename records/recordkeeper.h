#ifndef RECORDS_RECORDKEEPER_H
#define RECORDS_RECORDKEEPER_H

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>

#include "records/recordstore.h"
#include "records/testrecord.h"

class QThread;
class RecordWriter;

// Sees that no finished test is lost. Records are stored on a thread of
// their own (a locked file may hold a write for seconds, which must not stop
// the polling); one the database refuses is kept and tried again every
// retry interval and at close. What still cannot be stored at close is
// written as one JSON file per record into the unsaved folder, and taken in
// again at the next start.
class RecordKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultRetryMs = 60000;

    RecordKeeper(const QString &databasePath, const QString &unsavedFolder,
                 QObject *parent = nullptr);
    ~RecordKeeper() override;

    void setRetryInterval(int ms);
    // Opens the database and takes in what an earlier run left unsaved.
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

private:
    void submit(const TestRecord &record);
    void attempted(const QString &id, bool stored, const QString &error);
    void takeInUnsaved();
    bool writeUnsaved(const TestRecord &record);
    void forgetUnsavedFile(const QString &id);

    QString databasePath;
    QString unsavedFolder;
    QThread *thread = nullptr;
    RecordWriter *writer = nullptr;
    QVector<TestRecord> pending;
    QHash<QString, bool> inFlight;
    QTimer retry;
    QString lastProblem;
    QDateTime calibration;
};

#endif
