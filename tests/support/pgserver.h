#ifndef TESTS_PGSERVER_H
#define TESTS_PGSERVER_H

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include "config/stationsettings.h"

namespace testsupport {

// A real PostgreSQL 15 of the test's own, in a temporary folder: it listens
// only on a unix socket in that folder, never on a TCP port. The superuser
// 'postgres' and the role 'lane' come in without a password; every other
// role must give its password. As root the server runs as the 'postgres'
// user, since PostgreSQL refuses to run as root. The destructor always
// stops it.
class PgServer
{
public:
    static constexpr int Port = 5432;  // names the socket file only

    // 'durable' keeps fsync on, for figures worth printing; tests go
    // without it.
    explicit PgServer(bool durable = false) : durable(durable) {}
    ~PgServer();

    // Why this machine cannot run one, for QSKIP; empty when it can.
    static QString unavailableReason();

    // Makes the cluster on the first call; later calls start it again.
    bool start();
    // 'mode' as pg_ctl takes it: smart, fast or immediate.
    bool stop(const QString &mode = QStringLiteral("fast"));
    bool isRunning() const { return running; }
    QString errorString() const { return error; }
    QString socketDir() const { return dir.path(); }

    // Settings that reach database 'name' as 'user'.
    settings::StationServer settings(const QString &name, const QString &user = QStringLiteral("lane")) const;

    // As the superuser, through a connection opened for this call.
    QVariant scalar(const QString &sql, const QString &database = QStringLiteral("postgres"));
    bool exec(const QString &sql, const QString &database = QStringLiteral("postgres")) { return scalar(sql, database).isValid(); }
    // A fresh database owned by 'owner'.
    bool createDatabase(const QString &name, const QString &owner = QStringLiteral("lane"));

private:
    bool tool(const QString &name, const QStringList &arguments);
    bool makeCluster();

    QTemporaryDir dir;
    bool durable, made = false, running = false;
    QString error;
};

} // namespace testsupport

#endif
