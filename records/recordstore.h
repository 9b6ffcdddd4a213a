#ifndef RECORDS_RECORDSTORE_H
#define RECORDS_RECORDSTORE_H

#include <QCoreApplication>
#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

#include "records/recordcheck.h"
#include "records/testrecord.h"
#include "records/words.h"

class QSqlError;
class QSqlQuery;

// Which records a history shows. Texts match anywhere, ignoring case.
struct RecordFilter {
    enum class Sort { Started, Plate, Vin, Method, Result, Limit, Verdict, Operator, Lane };

    QString plate;
    QString vin;
    QString text;        // in the plate or the VIN
    QDate since;         // local days, both included; invalid: open
    QDate until;
    QDateTime sinceTime; // moments, both included; invalid: open
    QDateTime untilTime;
    QString verdict;     // "pass", "fail", "none" (no verdict), empty: any
    QString kind = QStringLiteral("test");  // "test", "check" (TestRecord's kinds), empty: any
    Sort sort = Sort::Started;
    bool descending = true;
    int limit = 0;       // 0: all
};

// One line of a history; the JSON only when asked for.
struct RecordSummary {
    QString id;
    QDateTime started;
    QString plate;
    QString vin;
    QString method;
    QString outcome;
    std::optional<double> meanK;
    std::optional<double> limitK;
    QString verdict;
    QString operatorName;
    QString json;
    QString lane = QString();  // read by the station's history only
};

Q_DECLARE_METATYPE(RecordSummary)

// The lane's records in one SQLite file (WAL journal, schema version in
// user_version, migrated at open). Records are only ever added, each in one
// transaction with its row in the station forwarder's queue.
//
// A store belongs to the thread that opened it; every instance has its own
// connection. Faults are kept with a text in the program's language.
class RecordStore
{
    Q_DECLARE_TR_FUNCTIONS(RecordStore)

public:
    // InPlace: read-write, but a corrupt file stays where it is (for a file
    // already moved aside, whose unsent records are still read).
    enum class Mode { ReadWrite, ReadOnly, InPlace };
    enum class Fault {
        None,
        Missing,      // read-only open of a file that is not there
        Unwritable,   // folder or file cannot be written
        DiskFull,
        Locked,       // another program holds the file
        Corrupt,      // not a database, or damaged
        NewerSchema,  // made by a newer program: not written to
        Conflict,     // another record already has this id
        Other,
    };
    enum class MeterEvent { Calibration, FactoryReset };

    static constexpr int SchemaVersion = 4;
    static constexpr int BusyTimeoutMs = 2000;

    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    // Read-write opens make the folder and file, move a corrupt file aside
    // (see movedAside()) and start a new one, and migrate the schema.
    // Read-only opens change nothing on disk.
    bool open(const QString &path, Mode mode = Mode::ReadWrite);
    void close();
    bool isOpen() const { return connection.isValid() && connection.isOpen(); }
    // Whether the path still names the file this store has open: not once
    // the file was moved aside (by another store) and a new one made there.
    bool isAtPath() const;
    QString path() const { return file; }
    int schemaVersion();

    Fault fault() const { return lastFault; }
    // A detail the store names itself (a folder it cannot make) is said in
    // the language shown either way.
    QString errorString(Words words = Words::Shown) const;
    // Where the last read-write open or store moved a corrupt file; empty if
    // it did not.
    QString movedAside() const { return corruptCopy; }
    // What the last read-write open found wrong without refusing the file
    // (WAL or full syncing not taken); empty when nothing.
    QString durabilityNotice() const { return notice; }

    // Adds the record and queues it for the station. Storing a record that
    // is already there with the same hash succeeds and changes nothing.
    bool store(const TestRecord &record);
    bool addMeterEvent(MeterEvent kind, const QDateTime &at, const QString &meterAddress);
    QDateTime lastCalibration();

    // False with fault() None when there is no such record. 'differing'
    // gets what RecordCheck finds wrong with the stored row.
    bool find(const QString &id, TestRecord *record, QStringList *differing = nullptr);
    // What RecordCheck finds wrong with each of these records; a record
    // that holds together, or is not there, is left out.
    QHash<QString, QStringList> check(const QStringList &ids);
    QVector<RecordSummary> query(const RecordFilter &filter, bool withJson = false);
    // The latest fields of each vehicle whose plate starts with 'prefix'.
    QVector<Vehicle> vehiclesByPlatePrefix(const QString &prefix, int limit = 10);
    // Every stored row as the file holds it, oldest first; 'visit' returns
    // false to stop.
    bool forEachStored(const std::function<bool(const StoredRecord &row)> &visit);

private:
    bool openConnection(Mode mode);
    bool makeDurable();
    bool migrate();
    bool applyMigration(int version);
    bool moveAside();
    bool run(QSqlQuery &query);
    bool exec(const QString &statement);
    bool failWith(const QSqlError &error);
    bool fail(Fault fault, const QString &detail);
    QString errorText(Words words) const;
    bool insert(const TestRecord &record);
    bool storeOnce(const TestRecord &record);
    // The kind column, or a test's kind in a file from before it (a
    // read-only open never migrates).
    QString kindColumn();

    QSqlDatabase connection;
    QString name;
    QString file;
    Mode openMode = Mode::ReadWrite;
    Fault lastFault = Fault::None;
    QString lastError;
    QString lastDetail;
    QString corruptCopy;
    QString notice;
    quint64 fileId = 0;  // of the file opened
};

// Turns WAL and full syncing on for a connection that writes and checks
// that both took; empty when they did, else why not.
QString durabilityProblem(QSqlDatabase &db);

#endif
