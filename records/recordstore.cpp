#include "records/recordstore.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <sys/stat.h>

#include "records/forwardqueue.h"

namespace {

// Each migration brings the schema from the version before it to its own.
// ":now" is bound to the time of the migration.
const QVector<QStringList> &migrations()
{
    static const QVector<QStringList> steps = {
        // 1: the records, the meter's events, the history's indexes
        {QStringLiteral("CREATE TABLE records (id TEXT PRIMARY KEY, started TEXT NOT NULL, "
                        "ended TEXT, plate TEXT, vin TEXT, verdict TEXT, operator TEXT, "
                        "station TEXT, lane TEXT, method TEXT, outcome TEXT, mean_k REAL, "
                        "limit_k REAL, hash TEXT NOT NULL, json TEXT NOT NULL)"),
         QStringLiteral("CREATE INDEX records_plate ON records (plate)"),
         QStringLiteral("CREATE INDEX records_vin ON records (vin)"),
         QStringLiteral("CREATE INDEX records_started ON records (started)"),
         QStringLiteral("CREATE TRIGGER records_kept_unchanged BEFORE UPDATE ON records "
                        "BEGIN SELECT RAISE(ABORT, 'records are never changed'); END"),
         QStringLiteral("CREATE TRIGGER records_kept BEFORE DELETE ON records "
                        "BEGIN SELECT RAISE(ABORT, 'records are never deleted'); END"),
         QStringLiteral("CREATE TABLE meter_events (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                        "kind TEXT NOT NULL CHECK (kind IN ('calibration', 'factory_reset')), "
                        "at TEXT NOT NULL, meter_address TEXT)")},
        // 2: the queue to the station; what is already stored is queued too
        {QStringLiteral("CREATE TABLE forward_queue (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
                        "record_id TEXT NOT NULL UNIQUE REFERENCES records(id), "
                        "queued TEXT NOT NULL, sent TEXT, last_error TEXT)"),
         QStringLiteral("INSERT INTO forward_queue (record_id, queued) "
                        "SELECT id, :now FROM records ORDER BY started, rowid")},
        // 3: a record the station refuses for good waits aside with the
        // server's reason instead of holding up the records after it
        {QStringLiteral("ALTER TABLE forward_queue ADD COLUMN refused TEXT")},
        // 4: the daily checks' records beside the tests; every earlier
        // record is a test
        {QStringLiteral("ALTER TABLE records ADD COLUMN kind TEXT NOT NULL DEFAULT 'test'"),
         QStringLiteral("CREATE INDEX records_kind ON records (kind, started)")},
    };
    return steps;
}

QString connectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("records-%1-%2")
        .arg(counter.fetchAndAddRelaxed(1))
        .arg(quintptr(QThread::currentThreadId()), 0, 16);
}

RecordStore::Fault faultOf(const QSqlError &error)
{
    // QSQLITE reports SQLite's primary result code.
    switch (error.nativeErrorCode().toInt()) {
    case 5:   // SQLITE_BUSY
    case 6:   // SQLITE_LOCKED
        return RecordStore::Fault::Locked;
    case 3:   // SQLITE_PERM
    case 8:   // SQLITE_READONLY
    case 10:  // SQLITE_IOERR
    case 14:  // SQLITE_CANTOPEN
        return RecordStore::Fault::Unwritable;
    case 13:  // SQLITE_FULL
        return RecordStore::Fault::DiskFull;
    case 11:  // SQLITE_CORRUPT
    case 26:  // SQLITE_NOTADB
        return RecordStore::Fault::Corrupt;
    default:
        return RecordStore::Fault::Other;
    }
}

} // namespace

RecordStore::RecordStore() = default;

RecordStore::~RecordStore()
{
    close();
}

void RecordStore::close()
{
    if (name.isEmpty())
        return;
    connection.close();
    connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    name.clear();
}

bool RecordStore::fail(Fault fault, const QString &detail)
{
    lastFault = fault;
    lastDetail = detail;
    lastError = errorText(Words::Shown);
    return false;
}

QString RecordStore::errorString(Words words) const
{
    return words == Words::Shown || lastError.isEmpty() ? lastError : errorText(words);
}

QString RecordStore::errorText(Words words) const
{
    const auto say = [words](const char *source) {
        return words == Words::Shown ? tr(source) : QString::fromUtf8(source);
    };
    switch (lastFault) {
    case Fault::Missing:
        return say(QT_TR_NOOP("数据库文件不存在：%1")).arg(file);
    case Fault::Unwritable:
        return say(QT_TR_NOOP("数据库无法写入：%1（%2）")).arg(file, lastDetail);
    case Fault::DiskFull:
        return say(QT_TR_NOOP("磁盘已满，数据库无法写入：%1")).arg(file);
    case Fault::Locked:
        return say(QT_TR_NOOP("数据库被其他程序锁定：%1")).arg(file);
    case Fault::Corrupt:
        return say(QT_TR_NOOP("数据库文件已损坏：%1")).arg(file);
    case Fault::NewerSchema:
        return say(QT_TR_NOOP("数据库由更新版本的程序创建（版本 %1），本程序不写入：%2")).arg(lastDetail, file);
    case Fault::Conflict:
        return say(QT_TR_NOOP("数据库中已有编号相同而内容不同的记录：%1")).arg(lastDetail);
    case Fault::Other:
    case Fault::None:
        break;
    }
    return say(QT_TR_NOOP("数据库错误：%1（%2）")).arg(lastDetail, file);
}

bool RecordStore::failWith(const QSqlError &error)
{
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return fail(faultOf(error), detail);
}

bool RecordStore::run(QSqlQuery &query)
{
    return query.exec() || failWith(query.lastError());
}

bool RecordStore::exec(const QString &statement)
{
    QSqlQuery query(connection);
    return query.exec(statement) || failWith(query.lastError());
}

bool RecordStore::open(const QString &path, Mode mode)
{
    close();
    file = path;
    openMode = mode;
    corruptCopy.clear();
    notice.clear();
    lastFault = Fault::None;
    lastError.clear();
    const QFileInfo info(path);
    if (mode == Mode::ReadOnly && !info.exists())
        return fail(Fault::Missing, path);
    if (mode == Mode::ReadWrite && !QDir().mkpath(info.absolutePath()))
        return fail(Fault::Unwritable, tr("无法创建文件夹 %1").arg(info.absolutePath()));
    if (openConnection(mode) && (mode == Mode::ReadOnly || migrate()))
        return true;
    // Half open is not open: the next store() starts again from the file.
    close();
    if (lastFault != Fault::Corrupt || mode != Mode::ReadWrite)
        return false;
    // A damaged file is kept for whoever wants to look into it; the lane
    // goes on with a new one.
    if (moveAside() && openConnection(mode) && migrate())
        return true;
    close();
    return false;
}

namespace {

quint64 fileIdOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? quint64(info.st_ino) : 0;
}

} // namespace

bool RecordStore::isAtPath() const
{
    return isOpen() && fileId != 0 && fileIdOf(file) == fileId;
}

bool RecordStore::openConnection(Mode mode)
{
    name = connectionName();
    connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    connection.setDatabaseName(file);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (mode == Mode::ReadOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    connection.setConnectOptions(options);
    if (!connection.open())
        return failWith(connection.lastError());
    fileId = fileIdOf(file);
    // The first read finds a file that is no database.
    if (!exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(BusyTimeoutMs))
        || !exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    return mode == Mode::ReadOnly || makeDurable();
}

// A record that is committed must survive a power cut: FULL syncs the WAL
// at every commit, whatever the library was built to default to. Without
// WAL the history's readers would wait for every write, so that is said;
// the records are still kept.
bool RecordStore::makeDurable()
{
    // A file that cannot be written fails here, as any write would.
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return false;
    notice = durabilityProblem(connection);
    return true;
}

QString durabilityProblem(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()
        || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return RecordStore::tr("数据库未能启用 WAL 日志：%1").arg(db.databaseName());
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL"))
        || !query.exec(QStringLiteral("PRAGMA synchronous")) || !query.next()
        || query.value(0).toInt() != 2)
        return RecordStore::tr("数据库未能设为完全同步写入：%1").arg(db.databaseName());
    return QString();
}

bool RecordStore::moveAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = file + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = file + QStringLiteral(".corrupt-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(file, target))
        return fail(Fault::Unwritable, tr("损坏的数据库无法移走"));
    // The journal holds records the file does not yet: it goes with the
    // file or neither goes, and it must never be played into the new one.
    const QString wal = file + QStringLiteral("-wal");
    if (QFile::exists(wal) && !QFile::rename(wal, target + QStringLiteral("-wal"))) {
        QFile::rename(target, file);
        return fail(Fault::Unwritable, tr("损坏的数据库的日志文件 %1 无法移走，数据库未移动").arg(wal));
    }
    // The index of the journal is rebuilt from the journal where it is missing.
    const QString shm = file + QStringLiteral("-shm");
    if (QFile::exists(shm) && !QFile::rename(shm, target + QStringLiteral("-shm")))
        QFile::remove(shm);
    corruptCopy = target;
    return true;
}

int RecordStore::schemaVersion()
{
    QSqlQuery query(connection);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        failWith(query.lastError());
        return -1;
    }
    return query.value(0).toInt();
}

bool RecordStore::migrate()
{
    const int version = schemaVersion();
    if (version < 0)
        return false;
    if (version > SchemaVersion)
        return fail(Fault::NewerSchema, QString::number(version));
    for (int next = version + 1; next <= SchemaVersion; ++next)
        if (!applyMigration(next))
            return false;
    return true;
}

bool RecordStore::applyMigration(int version)
{
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // Another program may have migrated the file while we waited.
    const int found = schemaVersion();
    bool ok = found >= 0;
    if (ok && found < version) {
        for (const QString &statement : migrations().at(version - 1)) {
            QSqlQuery query(connection);
            ok = query.prepare(statement) || failWith(query.lastError());
            if (ok && statement.contains(QLatin1String(":now")))
                query.bindValue(QStringLiteral(":now"),
                                RecordTime::text(QDateTime::currentDateTime()));
            if (!ok || !(ok = run(query)))
                break;
        }
        ok = ok && exec(QStringLiteral("PRAGMA user_version=%1").arg(version));
    }
    if (ok && exec(QStringLiteral("COMMIT")))
        return true;
    QSqlQuery(connection).exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool RecordStore::store(const TestRecord &record)
{
    lastFault = Fault::None;
    lastError.clear();
    corruptCopy.clear();
    if (file.isEmpty())
        return fail(Fault::Other, tr("未打开数据库"));
    if (!isOpen() && !open(file))
        return false;
    if (storeOnce(record))
        return true;
    if (lastFault != Fault::Corrupt)
        return false;
    // Damage found while writing: move the file aside as at open, once.
    close();
    if (!moveAside() || !openConnection(Mode::ReadWrite) || !migrate()) {
        close();
        return false;
    }
    return storeOnce(record);
}

bool RecordStore::storeOnce(const TestRecord &record)
{
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (insert(record) && exec(QStringLiteral("COMMIT")))
        return true;
    QSqlQuery(connection).exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool RecordStore::insert(const TestRecord &record)
{
    QSqlQuery existing(connection);
    existing.prepare(QStringLiteral("SELECT hash FROM records WHERE id = ?"));
    existing.addBindValue(record.id);
    if (!run(existing))
        return false;
    if (existing.next())
        return existing.value(0).toString() == record.hash || fail(Fault::Conflict, record.id);

    QSqlQuery add(connection);
    add.prepare(QStringLiteral(
        "INSERT INTO records (id, started, ended, plate, vin, verdict, operator, station, lane, "
        "method, outcome, mean_k, limit_k, hash, json, kind) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const auto nullable = [](const QString &text) { return text.isEmpty() ? QVariant() : text; };
    for (const QVariant &value : {QVariant(record.id), QVariant(RecordTime::text(record.started)),
                                  nullable(RecordTime::text(record.ended)),
                                  QVariant(record.vehicle.plate), QVariant(record.vehicle.vin),
                                  nullable(record.verdict), QVariant(record.operatorName),
                                  QVariant(record.station), QVariant(record.lane),
                                  QVariant(record.method),
                                  QVariant(TestRecord::outcomeKey(record.outcome)),
                                  record.meanK ? QVariant(*record.meanK) : QVariant(),
                                  record.limit.hasLimit() ? QVariant(record.limit.limitK) : QVariant(),
                                  QVariant(record.hash),
                                  QVariant(QString::fromUtf8(QJsonDocument(record.toJson())
                                                                 .toJson(QJsonDocument::Compact))),
                                  QVariant(record.kind)})
        add.addBindValue(value);
    if (!run(add))
        return false;
    ForwardQueue queue(connection);
    return queue.add(record.id, QDateTime::currentDateTime()) || failWith(queue.lastError());
}
