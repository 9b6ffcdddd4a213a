#include "station/serverdb.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

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

QVariant text(const QJsonObject &doc, const char *key)
{
    const QJsonValue v = doc.value(QLatin1String(key));
    return v.isString() ? QVariant(v.toString()) : QVariant(QVariant::String);
}

QVariant time(const QJsonObject &doc, const char *key)
{
    const QDateTime t = QDateTime::fromString(doc.value(QLatin1String(key)).toString(), Qt::ISODateWithMs);
    return t.isValid() ? QVariant(t) : QVariant(QVariant::DateTime);
}

} // namespace

QString reasonOf(const QSqlError &error)
{
    QString reason = error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = error.text().trimmed();
    return reason.replace(QLatin1Char('\n'), QLatin1String("; ")).simplified();
}

QString connectOptions(const settings::StationServer &server, const ServerTimeouts &timeouts,
                       QString *error)
{
    static const QStringList sslModes = {
        QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
        QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full"),
    };
    // The text goes into libpq's connect string as it is, so only its own
    // words may pass.
    if (!server.sslMode.isEmpty() && !sslModes.contains(server.sslMode)) {
        *error = tr("SslMode: unknown value '%1' (one of %2)").arg(server.sslMode, sslModes.join(QLatin1String(", ")));
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

bool insertRecord(QSqlDatabase db, const QByteArray &json, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parse);
    const QJsonObject doc = parsed.object();
    const QString id = doc.value(QLatin1String("id")).toString();
    if (!parsed.isObject() || id.isEmpty()) {
        *error = parsed.isObject() ? tr("record without an id") : tr("record is not a JSON object: %1").arg(parse.errorString());
        return false;
    }
    if (!db.transaction()) {
        *error = reasonOf(db.lastError());
        return false;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "INSERT INTO records (id, station, lane, started, ended, operator, plate, vin, verdict, doc, hash)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, CAST(? AS jsonb), ?)"
        " ON CONFLICT (id) DO NOTHING"));
    query.addBindValue(id);
    for (const char *key : {"station", "lane"})
        query.addBindValue(text(doc, key));
    for (const char *key : {"started", "ended"})
        query.addBindValue(time(doc, key));
    for (const char *key : {"operator", "plate", "vin", "verdict"})
        query.addBindValue(text(doc, key));
    query.addBindValue(QString::fromUtf8(parsed.toJson(QJsonDocument::Compact)));
    query.addBindValue(doc.value(QLatin1String("hash")).toString());
    if (!query.exec() || !db.commit()) {
        *error = reasonOf(query.lastError().isValid() ? query.lastError() : db.lastError());
        if (db.isOpen())
            db.rollback();
        return false;
    }
    return true;
}

bool listServerRecords(QSqlDatabase db, const RecordFilter &filter, QJsonArray *records, QString *error)
{
    QStringList where = {QStringLiteral("TRUE")};
    QVariantList values;
    if (!filter.plate.isEmpty()) {
        where << QStringLiteral("strpos(upper(plate), upper(?)) > 0");
        values << filter.plate;
    }
    if (!filter.vin.isEmpty()) {
        where << QStringLiteral("strpos(upper(vin), upper(?)) > 0");
        values << filter.vin;
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("started >= ?");
        values << QDateTime(filter.since, QTime(0, 0));
    }
    if (filter.until.isValid()) {
        where << QStringLiteral("started < ?");
        values << QDateTime(filter.until.addDays(1), QTime(0, 0));
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT doc::text FROM records WHERE %1 ORDER BY started DESC NULLS LAST, id")
                      .arg(where.join(QLatin1String(" AND "))));
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    while (query.next())
        records->append(QJsonDocument::fromJson(query.value(0).toString().toUtf8()).object());
    return true;
}

bool listStationRecords(const settings::StationServer &server, const RecordFilter &filter,
                        QJsonArray *records, QString *error, const ServerTimeouts &timeouts)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("opa-station-list-%1").arg(serial.fetchAndAddRelaxed(1));
    if (!openServer(server, name, timeouts, error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        ok = listServerRecords(db, filter, records, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace station
