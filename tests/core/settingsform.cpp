#include <QtTest>

#include <QSettings>

#include "config/settingsform.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using settings::SettingsForm;
Q_DECLARE_METATYPE(SettingsForm::Field)

// The settings dialog's rules, without a window: what each field takes and
// refuses, and what a save writes to set.ini and what it leaves alone.
class tst_SettingsForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Each row sets one field of a valid form, and the listen address beside it.
    void stationFields_data();
    void stationFields() { checkRefusal(); }
    void apiAndLimits_data();
    void apiAndLimits() { checkRefusal(); }
    void save_data();
    void save();

private:
    // A form every rule takes; rows change one field or two.
    static SettingsForm validForm();
    // "$DIR" in a row's value stands for the test's own folder.
    QString expanded(const QString &value) const { return QString(value).replace("$DIR", dir.path()); }
    static void set(SettingsForm &f, SettingsForm::Field field, const QString &value);
    static void addRefusalColumns();
    void checkRefusal();

    QTemporaryDir dir;
};

void tst_SettingsForm::initTestCase()
{
    for (const char *name : {"private.pw", "shared.pw"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("secret\n");
    }
    QVERIFY(QFile::setPermissions(dir.filePath("private.pw"), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(dir.filePath("shared.pw"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
}

SettingsForm tst_SettingsForm::validForm()
{
    SettingsForm f;
    f.serverAddress = "192.168.1.50";
    f.stationName = "一号检测站";
    f.laneName = "3号线";
    f.databaseFile = "results/opacimeter.sqlite";
    f.stationServer.host = "db.station.local";
    f.stationServer.name = "station";
    f.stationServer.user = "lane3";
    f.stationServer.sslMode = "require";
    f.apiListen = "127.0.0.1:8900";
    f.apiToken = QString(32, 'a');
    f.naturalK = "2.5";
    f.turboK = "3.0";
    f.recentFrom = QDate(2008, 7, 1);
    f.recentK = "1.5";
    return f;
}

void tst_SettingsForm::set(SettingsForm &f, SettingsForm::Field field, const QString &value)
{
    switch (field) {
    case SettingsForm::ServerAddress: f.serverAddress = value; break;
    case SettingsForm::StationName: f.stationName = value; break;
    case SettingsForm::LaneName: f.laneName = value; break;
    case SettingsForm::DatabaseFile: f.databaseFile = value; break;
    case SettingsForm::ServerHost: f.stationServer.host = value; break;
    case SettingsForm::ServerPort: f.stationServer.port = value.toInt(); break;
    case SettingsForm::ServerName: f.stationServer.name = value; break;
    case SettingsForm::ServerUser: f.stationServer.user = value; break;
    case SettingsForm::PasswordFile: f.stationServer.passwordFile = value; break;
    case SettingsForm::SslMode: f.stationServer.sslMode = value; break;
    case SettingsForm::ApiListen: f.apiListen = value; break;
    case SettingsForm::ApiToken: f.apiToken = value; break;
    case SettingsForm::Language: f.language = value; break;
    case SettingsForm::NaturalK: f.naturalK = value; break;
    case SettingsForm::TurboK: f.turboK = value; break;
    case SettingsForm::RecentFrom: f.recentFrom = QDate::fromString(value, Qt::ISODate); break;
    case SettingsForm::RecentK: f.recentK = value; break;
    }
}

void tst_SettingsForm::addRefusalColumns()
{
    QTest::addColumn<SettingsForm::Field>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("listen");   // the API's listen address beside it
    QTest::addColumn<QString>("refusal");  // empty: taken
}

void tst_SettingsForm::stationFields_data()
{
    using F = SettingsForm;
    addRefusalColumns();
    const QString loop = "127.0.0.1:8900";
    const QString noAddress = "不是 IPv4 或 IPv6 地址";
    const QString noHost = "不是一台主机的地址";
    const QString control = "不能含换行或其他控制字符";

    QTest::newRow("server: none, the program sweeps") << F::ServerAddress << "" << loop << "";
    QTest::newRow("server: IPv4, blanks trimmed") << F::ServerAddress << " 10.0.0.2 " << loop << "";
    QTest::newRow("server: IPv6") << F::ServerAddress << "fd00::5" << loop << "";
    QTest::newRow("server: short IPv4 form") << F::ServerAddress << "10.2" << loop << noAddress;
    QTest::newRow("server: octet 256") << F::ServerAddress << "192.168.1.256" << loop << noAddress;
    QTest::newRow("server: host name") << F::ServerAddress << "meter.local" << loop << noAddress;
    QTest::newRow("server: with a port") << F::ServerAddress << "192.168.1.5:8899" << loop << noAddress;
    QTest::newRow("server: any address") << F::ServerAddress << "0.0.0.0" << loop << noHost;
    QTest::newRow("server: broadcast") << F::ServerAddress << "255.255.255.255" << loop << noHost;
    QTest::newRow("server: multicast") << F::ServerAddress << "224.0.0.1" << loop << noHost;
    QTest::newRow("station: 32 characters") << F::StationName << QString(32, QChar(0x7AD9)) << loop << "";
    QTest::newRow("station: 33 characters") << F::StationName << QString(33, 'x') << loop << "最多 32 个字符";
    QTest::newRow("station: line break inside") << F::StationName << "一号\n检测站" << loop << control;
    QTest::newRow("lane: trailing line break trimmed") << F::LaneName << "3号线\r\n" << loop << "";
    QTest::newRow("lane: tab inside") << F::LaneName << "3\t号线" << loop << control;
    QTest::newRow("database: default") << F::DatabaseFile << "" << loop << "";
    QTest::newRow("database: a folder") << F::DatabaseFile << "$DIR" << loop << "是一个文件夹，不是文件";
    QTest::newRow("host: IP address") << F::ServerHost << "10.0.0.5" << loop << "";
    QTest::newRow("host: socket folder") << F::ServerHost << "$DIR" << loop << "";
    QTest::newRow("host: missing folder") << F::ServerHost << "/no/such/folder" << loop << "文件夹 /no/such/folder 不存在";
    QTest::newRow("host: blank inside") << F::ServerHost << "db station" << loop << "须为主机名、IP 地址或存放服务器套接字的文件夹";
    QTest::newRow("host: leading hyphen") << F::ServerHost << "-db" << loop << "须为主机名、IP 地址或存放服务器套接字的文件夹";
    QTest::newRow("port 1") << F::ServerPort << "1" << loop << "";
    QTest::newRow("port 65535") << F::ServerPort << "65535" << loop << "";
    QTest::newRow("port 0") << F::ServerPort << "0" << loop << "须在 1 到 65535 之间";
    QTest::newRow("port 65536") << F::ServerPort << "65536" << loop << "须在 1 到 65535 之间";
    QTest::newRow("database name: 63 bytes") << F::ServerName << QString(21, QChar(0x7AD9)) << loop << "";
    QTest::newRow("user: 64 bytes") << F::ServerUser << QString(64, 'u') << loop << "最多 63 个字节";
    QTest::newRow("password file: owner only") << F::PasswordFile << "$DIR/private.pw" << loop << "";
    QTest::newRow("password file: others may read") << F::PasswordFile << "$DIR/shared.pw" << loop
        << "除所有者外还有人可读写此文件（请执行 chmod 600）";
    QTest::newRow("password file: missing") << F::PasswordFile << "$DIR/none.pw" << loop << "文件不存在";
    QTest::newRow("password file: a folder") << F::PasswordFile << "$DIR" << loop << "不是文件";
    QTest::newRow("sslmode: libpq's default") << F::SslMode << "" << loop << "";
    QTest::newRow("sslmode: verify-full") << F::SslMode << "verify-full" << loop << "";
    QTest::newRow("sslmode: capitalised") << F::SslMode << "Require" << loop
        << "须为 disable allow prefer require verify-ca verify-full 之一，或留空";
}

void tst_SettingsForm::apiAndLimits_data()
{
    using F = SettingsForm;
    addRefusalColumns();
    const QString loop = "127.0.0.1:8900";
    const QString kRange = "须大于 0 且小于 10 m⁻¹";
    const QString badToken = "须为 16 到 64 位十六进制数字，请按“重新生成”";
    QTest::newRow("listen: IPv6") << F::ApiListen << "[::1]:8900" << "[::1]:8900" << "";
    QTest::newRow("listen: host name") << F::ApiListen << "localhost:8900" << "localhost:8900"
        << "须为 IP 地址和 1 到 65535 的端口，如 127.0.0.1:8900 或 [::1]:8900";
    QTest::newRow("listen: port 0") << F::ApiListen << "127.0.0.1:0" << "127.0.0.1:0"
        << "须为 IP 地址和 1 到 65535 的端口，如 127.0.0.1:8900 或 [::1]:8900";
    QTest::newRow("token: none on loopback") << F::ApiToken << "" << loop << "";
    QTest::newRow("token: none on the network") << F::ApiToken << "" << "0.0.0.0:8900"
        << "在本机以外监听时必须有令牌，请按“重新生成”";
    QTest::newRow("token: 16 hex on the network") << F::ApiToken << "0123456789ABCDEF" << "0.0.0.0:8900" << "";
    QTest::newRow("token: 64 hex") << F::ApiToken << QString(64, 'f') << loop << "";
    QTest::newRow("token: 15 hex") << F::ApiToken << QString(15, 'f') << loop << badToken;
    QTest::newRow("token: 65 hex") << F::ApiToken << QString(65, 'f') << loop << badToken;
    QTest::newRow("token: not hex") << F::ApiToken << QString(32, 'g') << loop << badToken;
    QTest::newRow("language: en") << F::Language << "en" << loop << "";
    QTest::newRow("language: EN") << F::Language << "EN" << loop << "须为 zh 或 en";
    QTest::newRow("natural: 9.99") << F::NaturalK << "9.99" << loop << "";
    QTest::newRow("natural: 10") << F::NaturalK << "10" << loop << kRange;
    QTest::newRow("turbo: 0") << F::TurboK << "0" << loop << kRange;
    QTest::newRow("turbo: negative") << F::TurboK << "-1.5" << loop << kRange;
    QTest::newRow("turbo: not a number") << F::TurboK << "nan" << loop << kRange;
    QTest::newRow("recent: decimal comma") << F::RecentK << "1,5" << loop << "不是数字";
    QTest::newRow("recent: empty") << F::RecentK << "" << loop << "不是数字";
    QTest::newRow("recent from: 29 February of a leap year") << F::RecentFrom << "2024-02-29" << loop << "";
    QTest::newRow("recent from: 30 February") << F::RecentFrom << "2008-02-30" << loop << "不是有效日期";
}

void tst_SettingsForm::checkRefusal()
{
    QFETCH(SettingsForm::Field, field);
    QFETCH(QString, value);
    QFETCH(QString, listen);
    QFETCH(QString, refusal);
    SettingsForm f = validForm();
    QVERIFY(f.validate().isEmpty());
    f.apiListen = listen;
    set(f, field, expanded(value));
    const SettingsForm::Refusals refused = f.validate();
    QCOMPARE(refused.keys(), refusal.isEmpty() ? QList<SettingsForm::Field>() : QList<SettingsForm::Field>{field});
    QCOMPARE(refused.value(field), refusal);
}

void tst_SettingsForm::save_data()
{
    using F = SettingsForm;
    QTest::addColumn<F::Field>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");  // the key's text in set.ini after the save
    QTest::addColumn<int>("changes");

    QTest::newRow("server address") << F::ServerAddress << "10.0.0.9" << "Server/IP" << "10.0.0.9" << int(F::ServerAddressChange);
    QTest::newRow("server address forgotten") << F::ServerAddress << " " << "Server/IP" << "" << int(F::ServerAddressChange);
    QTest::newRow("server address refused") << F::ServerAddress << "10.0.0" << "Server/IP" << "192.168.1.50" << 0;
    QTest::newRow("lane, trimmed") << F::LaneName << " 4号线 " << "Station/Lane" << "4号线" << int(F::StationChange);
    QTest::newRow("station refused") << F::StationName << "一号\n站" << "Station/Name" << "一号检测站" << 0;
    QTest::newRow("database file") << F::DatabaseFile << "lane4.sqlite" << "Database/File" << "lane4.sqlite" << int(F::DatabaseChange);
    QTest::newRow("server host") << F::ServerHost << "10.0.0.5" << "Database/ServerHost" << "10.0.0.5" << int(F::DatabaseChange);
    QTest::newRow("sslmode refused") << F::SslMode << "bogus" << "Database/SslMode" << "require" << 0;
    QTest::newRow("password file refused") << F::PasswordFile << "$DIR/shared.pw" << "Database/PasswordFile" << "" << 0;
    QTest::newRow("listen") << F::ApiListen << "[::1]:8901" << "Api/Listen" << "[::1]:8901" << int(F::ApiChange);
    QTest::newRow("listen refused") << F::ApiListen << "::1:8901" << "Api/Listen" << "127.0.0.1:8900" << 0;
    QTest::newRow("token") << F::ApiToken << QString(16, 'b') << "Api/Token" << QString(16, 'b') << int(F::ApiChange);
    QTest::newRow("token refused") << F::ApiToken << "xyz" << "Api/Token" << QString(32, 'a') << 0;
    QTest::newRow("language") << F::Language << "en" << "UI/Language" << "en" << int(F::LanguageChange);
    QTest::newRow("limit") << F::TurboK << "3.5" << "Limits/TurboK" << "3.5" << int(F::LimitsChange);
    QTest::newRow("limit refused") << F::NaturalK << "12" << "Limits/NaturalK" << "2.2" << 0;
    QTest::newRow("date") << F::RecentFrom << "2010-01-01" << "Limits/RecentFrom" << "2010-01-01" << int(F::LimitsChange);
}

void tst_SettingsForm::save()
{
    QFETCH(SettingsForm::Field, field);
    QFETCH(QString, value);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(int, changes);
    testsupport::ScopedWorkDir work;
    {
        QSettings file("./set.ini", QSettings::IniFormat);
        file.setIniCodec("UTF-8");
        file.setValue("Server/IP", "192.168.1.50");
        file.setValue("Station/Name", "一号检测站");
        file.setValue("Database/SslMode", "require");
        file.setValue("Api/Token", QString(32, 'a'));
        file.setValue("Limits/NaturalK", "2.2");
    }
    const SettingsForm before = SettingsForm::load();
    SettingsForm f = before;
    set(f, field, expanded(value));
    QCOMPARE(f.save(), QString());

    QSettings file("./set.ini", QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QCOMPARE(file.value(key).toString(), stored);
    const SettingsForm after = SettingsForm::load();
    // Nothing but the field at hand moved, and a value taken reads back as typed.
    QCOMPARE(int(after.changesFrom(before)), changes);
    if (changes)
        QCOMPARE(int(after.changesFrom(f)), 0);
}

OPA_TEST_CLASS(tst_SettingsForm)
#include "settingsform.moc"
