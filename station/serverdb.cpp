#include "station/serverdb.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include "records/historysql.h"

namespace station {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("station", text);
}

// 'opa_stn1' as a number: the one key every lane takes before migrating.
const char LockKey[] = "8101540497006472753";

// Each step runs in the migrating transaction; steps are only ever added.
const QList<QStringList> &migrations()
{
    static const QList<QStringList> steps = {
        {
            QStringLiteral(
                "CREATE TABLE records ("
                " id text PRIMARY KEY,"
                " station text, lane text,"
                " started timestamptz, ended timestamptz,"
                " operator text, plate text, vin text, verdict text,"
                " doc jsonb NOT NULL,"
                " hash text NOT NULL,"
                " received timestamptz NOT NULL DEFAULT now())"),
            QStringLiteral("CREATE INDEX records_plate ON records (plate)"),
            QStringLiteral("CREATE INDEX records_vin ON records (vin)"),
            QStringLiteral("CREATE INDEX records_started ON records (started)"),
            QStringLiteral("CREATE INDEX records_received ON records (received)"),
        },
        // The lane's history columns, so a station-wide history reads no
        // documents unless it shows one.
        {
            QStringLiteral("ALTER TABLE records ADD COLUMN method text, ADD COLUMN outcome text,"
                           " ADD COLUMN mean_k double precision, ADD COLUMN limit_k double precision"),
            QStringLiteral("UPDATE records SET method = doc->>'method', outcome = doc->>'outcome',"
                           " mean_k = (doc->>'mean_K')::double precision,"
                           " limit_k = (doc->>'limit_K')::double precision,"
                           " plate = nullif(plate, ''), vin = nullif(vin, ''), operator = nullif(operator, '')"),
        },
        // The daily checks' records come beside the tests; only their
        // documents name a kind, so the histories find each through this.
        {
            QStringLiteral("CREATE INDEX records_kind ON records ((coalesce(doc->>'kind', 'test')), started)"),
        },
    };
    return steps;
}

bool run(QSqlQuery &query, const QString &sql, QString *error)
{
    if (query.exec(sql))
        return true;
    *error = reasonOf(query.lastError());
    return false;
}

bool runSteps(QSqlDatabase db, int *ran, QString *error)
{
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version ("
                                   " version integer PRIMARY KEY,"
                                   " applied timestamptz NOT NULL DEFAULT now())"), error)
        || !run(query, QStringLiteral("SELECT coalesce(max(version), 0) FROM schema_version"), error)
        || !query.next())
        return false;
    const int current = query.value(0).toInt();
    for (int version = current + 1; version <= migrations().size(); ++version) {
        for (const QString &sql : migrations().at(version - 1))
            if (!run(query, sql, error))
                return false;
        query.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
        query.addBindValue(version);
        if (!query.exec()) {
            *error = reasonOf(query.lastError());
            return false;
        }
        ++*ran;
    }
    return true;
}

std::optional<double> optionalNumber(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

// The lane's way of writing times: local, with the offset of the moment.
QDateTime localTime(qint64 msecs)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(msecs);
    return t.toOffsetFromUtc(t.offsetFromUtc());
}

} // namespace

QString reasonOf(const QSqlError &error)
{
    QString reason = error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = error.text().trimmed();
    return reason.replace(QLatin1Char('\n'), QLatin1String("; ")).simplified();
}

namespace {

// libpq's connect options for QSqlDatabase::setConnectOptions, or empty text
// with the reason in 'error' when a setting cannot be passed on.
QString connectOptions(const settings::StationServer &server, const ServerTimeouts &timeouts,
                       QString *error)
{
    // The text goes into libpq's connect string as it is, so only its own
    // words may pass.
    if (!server.sslMode.isEmpty() && !settings::sslModes().contains(server.sslMode)) {
        *error = tr("SslMode: unknown value '%1' (one of %2)").arg(server.sslMode, settings::sslModes().join(QLatin1String(", ")));
        return QString();
    }
    QStringList options = {
        QStringLiteral("connect_timeout=%1").arg(qMax(2, timeouts.connectS)),
        // Notices ("already exists, skipping") are no news to a lane.
        QStringLiteral("options='-c statement_timeout=%1 -c client_min_messages=warning'")
            .arg(qMax(1, timeouts.statementMs)),
        // A network cut must not leave a TCP connection waiting for ever;
        // libpq ignores these on a unix socket.
        QStringLiteral("keepalives_idle=10;keepalives_interval=5;keepalives_count=3"),
        QStringLiteral("tcp_user_timeout=%1").arg(qMax(1000, timeouts.statementMs)),
        QStringLiteral("application_name=opacimeter"),
    };
    if (!server.sslMode.isEmpty())
        options << QStringLiteral("sslmode=%1").arg(server.sslMode);
    return options.join(QLatin1Char(';'));
}

} // namespace

bool openServer(const settings::StationServer &server, const QString &connectionName,
                const ServerTimeouts &timeouts, QString *error)
{
    if (!server.enabled()) {
        *error = tr("no station server is set ([Database] ServerHost)");
        return false;
    }
    QString password;
    if (!server.passwordFile.isEmpty() && !settings::readPasswordFile(server.passwordFile, &password, error))
        return false;
    const QString options = connectOptions(server, timeouts, error);
    if (options.isEmpty())
        return false;
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        db.setHostName(server.host);
        db.setPort(server.port);
        db.setDatabaseName(server.name);
        db.setUserName(server.user);
        if (!password.isEmpty())
            db.setPassword(password);
        db.setConnectOptions(options);
        opened = db.open();
        if (!opened)
            *error = reasonOf(db.lastError());
    }
    if (!opened)
        QSqlDatabase::removeDatabase(connectionName);
    return opened;
}

int migrateServer(QSqlDatabase db, QString *error)
{
    QSqlQuery lock(db);
    if (!run(lock, QStringLiteral("SELECT pg_advisory_lock(%1)").arg(QLatin1String(LockKey)), error))
        return -1;
    int ran = 0;
    bool ok = db.transaction() && runSteps(db, &ran, error);
    if (ok && !db.commit()) {
        *error = reasonOf(db.lastError());
        ok = false;
    }
    if (!ok) {
        if (error->isEmpty())
            *error = reasonOf(db.lastError());
        db.rollback();
    }
    // A lost connection gives the lock back by itself.
    lock.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(QLatin1String(LockKey)));
    return ok ? ran : -1;
}

namespace {

// The lane's columns taken from each document of one bound JSON array, in
// the array's order; what the main query reads of 'records' is the snapshot
// before the insert, so the hash of a copy already there.
const char BatchInsert[] =
    "WITH input AS (SELECT e.doc, e.n FROM jsonb_array_elements(CAST(? AS jsonb)) WITH ORDINALITY AS e(doc, n)),"
    " stored AS (INSERT INTO records (id, station, lane, started, ended, operator, plate, vin, verdict,"
    "  method, outcome, mean_k, limit_k, doc, hash, received)"
    "  SELECT doc->>'id', nullif(doc->>'station', ''), nullif(doc->>'lane', ''),"
    "   CAST(nullif(doc->>'started', '') AS timestamptz), CAST(nullif(doc->>'ended', '') AS timestamptz),"
    "   nullif(doc->>'operator', ''), nullif(doc->>'plate', ''), nullif(doc->>'vin', ''),"
    "   nullif(doc->>'verdict', ''), nullif(doc->>'method', ''), nullif(doc->>'outcome', ''),"
    "   CASE jsonb_typeof(doc->'mean_K') WHEN 'number' THEN CAST(doc->>'mean_K' AS double precision) END,"
    "   CASE jsonb_typeof(doc->'limit_K') WHEN 'number' THEN CAST(doc->>'limit_K' AS double precision) END,"
    // clock_timestamp(): the rows of one batch keep the queue's order.
    "   doc, doc->>'hash', clock_timestamp()"
    "  FROM input ORDER BY n"
    "  ON CONFLICT (id) DO NOTHING RETURNING id)"
    " SELECT s.id IS NOT NULL, r.hash IS NOT NULL, r.hash = i.doc->>'hash'"
    " FROM input i LEFT JOIN stored s ON s.id = i.doc->>'id' LEFT JOIN records r ON r.id = i.doc->>'id'"
    " ORDER BY i.n";

// Data exceptions (22), integrity constraints (23) and a program limit
// such as an index row too large (54000) come from the record; any other
// class is the connection's or the server's.
bool causedByRecord(const QSqlError &error)
{
    const QString state = error.nativeErrorCode();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"))
           || state == QLatin1String("54000");
}

} // namespace

bool insertRecords(QSqlDatabase db, const QList<QByteArray> &docs, QVector<Arrival> *arrivals,
                   QString *error, bool *permanent)
{
    *permanent = false;
    arrivals->clear();
    QByteArray array = "[";
    for (const QByteArray &doc : docs)
        array += (array.size() > 1 ? "," : "") + doc;
    array += ']';
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QLatin1String(BatchInsert));
    query.addBindValue(QString::fromUtf8(array));
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        *permanent = causedByRecord(query.lastError());
        return false;
    }
    while (query.next()) {
        if (query.value(0).toBool())
            arrivals->append(Arrival::Stored);
        else if (!query.value(1).toBool())
            arrivals->append(Arrival::Unknown);
        else
            arrivals->append(query.value(2).toBool() ? Arrival::Same : Arrival::Different);
    }
    if (arrivals->size() == docs.size())
        return true;
    *error = tr("the server answered %1 rows for %2 records").arg(arrivals->size()).arg(docs.size());
    return false;
}

bool isEncrypted(QSqlDatabase db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")) && query.next()
           && query.value(0).toBool();
}

namespace {

// The station's records that pass 'filter', in the shape and order the
// lane's own history gives (RecordStore::query): the same text, day and
// verdict filters, sort and limit; 'json' is the document the lane sent,
// filled only when asked for.
bool queryServerRecords(QSqlDatabase db, const ::RecordFilter &filter, bool withJson,
                        QVector<RecordSummary> *rows, QString *error)
{
    const HistorySql history(HistorySql::Dialect::PostgreSQL, QStringLiteral("coalesce(doc->>'kind', 'test')"));
    QVariantList values;
    const QString sql = QStringLiteral("SELECT id, (extract(epoch FROM started) * 1000)::bigint, plate, vin,"
                                       " method, outcome, mean_k, limit_k, verdict, operator, lane%1 FROM records")
                            .arg(withJson ? QStringLiteral(", doc::text") : QString())
                        + history.where(filter, &values) + history.orderAndLimit(filter);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    while (query.next())
        rows->append({query.value(0).toString(), localTime(query.value(1).toLongLong()),
                      query.value(2).toString(), query.value(3).toString(), query.value(4).toString(),
                      query.value(5).toString(), optionalNumber(query.value(6)),
                      optionalNumber(query.value(7)), query.value(8).toString(), query.value(9).toString(),
                      withJson ? query.value(11).toString() : QString(), query.value(10).toString()});
    return true;
}

// One record's document; false with 'error' empty when the station has none.
bool findServerRecord(QSqlDatabase db, const QString &id, QJsonObject *doc, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT doc::text FROM records WHERE id = ?"));
    query.addBindValue(id.trimmed().toLower());
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    if (!query.next())
        return false;
    *doc = QJsonDocument::fromJson(query.value(0).toString().toUtf8()).object();
    return true;
}

} // namespace

StationRecords::StationRecords(const settings::StationServer &server, const ServerTimeouts &timeouts)
    : server(server), timeouts(timeouts)
{
    static QAtomicInt serial;
    name = QStringLiteral("opa-station-records-%1").arg(serial.fetchAndAddRelaxed(1));
}

StationRecords::~StationRecords()
{
    drop();
}

bool StationRecords::open()
{
    error.clear();
    return QSqlDatabase::contains(name) || openServer(server, name, timeouts, &error);
}

void StationRecords::drop()
{
    if (!QSqlDatabase::contains(name))
        return;
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

QVector<RecordSummary> StationRecords::query(const ::RecordFilter &filter, bool withJson)
{
    QVector<RecordSummary> rows;
    if (open() && !queryServerRecords(QSqlDatabase::database(name, false), filter, withJson, &rows, &error))
        drop();  // opened anew next time, should the server have gone
    return rows;
}

bool StationRecords::find(const QString &id, QJsonObject *doc)
{
    if (!open())
        return false;
    if (findServerRecord(QSqlDatabase::database(name, false), id, doc, &error))
        return true;
    if (!error.isEmpty())
        drop();
    return false;
}

} // namespace station
