#ifndef LANE_RECORDMAKER_H
#define LANE_RECORDMAKER_H

#include <QObject>
#include <QSet>
#include <QString>

#include "records/recordbuilder.h"

class LaneSession;
struct CheckResult;
class RecordKeeper;

// Makes the records of what the session runs and hands them to the record
// keeper, which stores them: each finished or abandoned series becomes one
// sealed record (its subject, the station and lane from set.ini, this
// program's version, the meter's address and the last calibration seen),
// and calibrations and factory resets become meter events. It hears the
// session's events only, so a series started by any caller is kept the
// same way.
class RecordMaker : public QObject
{
    Q_OBJECT

public:
    static const char DefaultUnsavedFolder[];

    // Station and lane are read from set.ini; the database is opened by start().
    RecordMaker(LaneSession *session, const QString &databasePath,
                const QString &unsavedFolder = QString::fromLatin1(DefaultUnsavedFolder),
                QObject *parent = nullptr);
    ~RecordMaker() override;

    void setStation(const QString &name, const QString &lane);
    void start();
    // Stores what is pending, else writes it into the unsaved folder;
    // false when a record could not be written there either.
    bool close();

    QString databasePath() const { return database; }
    RecordKeeper *keeper() const { return recordKeeper; }
    // The record of 'outcome' as this maker makes it now.
    TestRecord recordOf(const FinishedSeries &outcome) const;
    // The record of a daily check, sealed.
    TestRecord recordOf(const CheckResult &check) const;
    // Keeps a daily check's record as a series' is kept.
    void keepCheck(const CheckResult &check);

signals:
    // Once per series: 'stored' when its record is in the database, else it
    // is kept (see storageProblem) and stored later.
    void recordKept(const QString &id, bool stored);
    // Every record that reaches the database, also one kept earlier or
    // taken in from the unsaved folder.
    void recordStored(const QString &id);
    // Once per daily check, as recordKept is per series.
    void checkKept(const QString &id, bool stored);
    void storageProblem(const QString &reason);
    void databaseReplaced(const QString &movedAside, const QString &message);

private:
    void keepSeries(const FinishedSeries &outcome);
    void attempted(const QString &id, bool stored);

    LaneSession *session;
    RecordKeeper *recordKeeper;
    QString database;
    QString station;
    QString lane;
    QString meterAddress;
    QSet<QString> firstTries;
    QSet<QString> firstCheckTries;
};

#endif
