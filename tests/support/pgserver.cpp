#include "pgserver.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

namespace testsupport {

namespace {

const QString BinDir = QStringLiteral("/usr/lib/postgresql/15/bin");

bool asRoot() { return geteuid() == 0; }

} // namespace

PgServer::~PgServer()
{
    if (running || QFile::exists(dir.filePath(QStringLiteral("data/postmaster.pid"))))
        stop(QStringLiteral("immediate"));
}

QString PgServer::unavailableReason()
{
    for (const char *name : {"initdb", "pg_ctl"})
        if (!QFileInfo(BinDir + QLatin1Char('/') + QLatin1String(name)).isExecutable())
            return QStringLiteral("PostgreSQL 15 is not installed (no %1/%2; Debian package postgresql)").arg(BinDir, QLatin1String(name));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's PostgreSQL driver is missing (Debian package libqt5sql5-psql)");
    if (asRoot() && !getpwnam("postgres"))
        return QStringLiteral("running as root, and there is no 'postgres' user to run the server as");
    return QString();
}

bool PgServer::tool(const QString &name, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());  // the server's user may not enter ours
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("LC_ALL=C"));
    const QString program = BinDir + QLatin1Char('/') + name;
    process.start(asRoot() ? QStringLiteral("runuser") : program, asRoot() ? QStringList{"-u", "postgres", "--", program} + arguments : arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QFile log(dir.filePath(QStringLiteral("server.log")));
        log.open(QIODevice::ReadOnly);
        error = QStringLiteral("%1 %2 failed: %3 %4\nserver log:\n%5").arg(name, arguments.join(QLatin1Char(' ')), process.errorString(),
                     QString::fromLocal8Bit(process.readAll()), QString::fromLocal8Bit(log.readAll().right(2000)));
        return false;
    }
    return true;
}

bool PgServer::makeCluster()
{
    // The server's user must reach the folder that holds its data and socket.
    const passwd *pw = asRoot() ? getpwnam("postgres") : nullptr;
    if (pw && chown(QFile::encodeName(dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
        error = QStringLiteral("cannot hand %1 to postgres").arg(dir.path());
        return false;
    }
    const QString data = dir.filePath(QStringLiteral("data"));
    if (!tool(QStringLiteral("initdb"), {"-D", data, "-U", "postgres", "--auth-local=trust", "--no-locale", "-E", "UTF8", "--no-sync"}))
        return false;
    QFile conf(data + QStringLiteral("/postgresql.conf")), hba(data + QStringLiteral("/pg_hba.conf"));
    if (!conf.open(QIODevice::Append) || !hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write the server's configuration in %1").arg(data);
        return false;
    }
    const char *sync = durable ? "on" : "off";
    QTextStream(&conf) << "listen_addresses = ''\nunix_socket_directories = '" << dir.path() << "'\nport = " << Port
                       << "\nmax_connections = 40\nfsync = " << sync << "\nfull_page_writes = " << sync << "\n";
    QTextStream(&hba) << "local all postgres trust\nlocal all lane trust\nlocal all all scram-sha-256\n";
    return true;
}

bool PgServer::start()
{
    if (!dir.isValid())
        error = QStringLiteral("no temporary folder: %1").arg(dir.errorString());
    if (!dir.isValid() || (!made && !(made = makeCluster()))
        || !tool(QStringLiteral("pg_ctl"), {"-D", dir.filePath("data"), "-l", dir.filePath("server.log"), "-w", "-t", "30", "start"}))
        return false;
    running = true;
    return scalar(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = 'lane'")).toInt() == 1
        || exec(QStringLiteral("CREATE ROLE lane LOGIN"));
}

bool PgServer::stop(const QString &mode)
{
    running = !tool(QStringLiteral("pg_ctl"), {"-D", dir.filePath("data"), "-m", mode, "-w", "stop"});
    return !running;
}

settings::StationServer PgServer::settings(const QString &name, const QString &user) const
{
    return {dir.path(), Port, name, user, QString(), QString()};
}

QVariant PgServer::scalar(const QString &sql, const QString &database)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("pgserver-admin-%1").arg(serial.fetchAndAddRelaxed(1));
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(QStringLiteral("host=%1;port=%2;dbname=%3;user=postgres").arg(dir.path()).arg(Port).arg(database));
        QSqlQuery query(db);
        if (!db.open() || !query.exec(sql))
            error = db.isOpen() ? query.lastError().text() : db.lastError().text();
        else
            value = query.next() ? query.value(0) : QVariant(true);
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

bool PgServer::createDatabase(const QString &name, const QString &owner)
{
    return exec(QStringLiteral("CREATE DATABASE \"%1\" OWNER \"%2\"").arg(name, owner));
}

} // namespace testsupport
