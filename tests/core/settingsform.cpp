#include <QtTest>

#include <QSettings>

#include "config/settingsform.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using settings::SettingsForm;
using F = SettingsForm;
Q_DECLARE_METATYPE(SettingsForm::Field)

// The settings dialog's rules, without a window: what each field takes and
// refuses, and what a save writes to set.ini and what it leaves alone.
class tst_SettingsForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *name : {"private.pw", "shared.pw"})
            QVERIFY(testsupport::writeFile(dir.filePath(name), "secret\n"));
        QVERIFY(QFile::setPermissions(dir.filePath("private.pw"), QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(dir.filePath("shared.pw"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    // Each row sets one field of a valid form, and the listen address beside it.
    void fields_data()
    {
        QTest::addColumn<SettingsForm::Field>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("refusal");  // empty: taken
        QTest::addColumn<QString>("listen");   // the API's listen address beside it
        const auto row = [](const char *name, F::Field field, const QString &value, const QString &refusal,
                            const QString &listen = "127.0.0.1:8900") {
            QTest::newRow(name) << field << value << refusal << listen;
        };
        const QString noAddress = "不是 IPv4 或 IPv6 地址", noHost = "不是一台主机的地址";
        const QString control = "不能含换行或其他控制字符", port = "须在 1 到 65535 之间";
        const QString kRange = "须大于 0 且小于 10 m⁻¹", badToken = "须为 16 到 64 位十六进制数字，请按“重新生成”";
        const QString badListen = "须为 IP 地址和 1 到 65535 的端口，如 127.0.0.1:8900 或 [::1]:8900";

        row("server: IPv6", F::ServerAddress, "fd00::5", "");
        row("server: short IPv4 form", F::ServerAddress, "10.2", noAddress);
        row("server: any address", F::ServerAddress, "0.0.0.0", noHost);
        row("station: 32 characters", F::StationName, QString(32, QChar(0x7AD9)), "");
        row("station: 33 characters", F::StationName, QString(33, 'x'), "最多 32 个字符");
        row("lane: trailing line break trimmed", F::LaneName, "3号线\r\n", "");
        row("station: line break inside", F::StationName, "一号\n检测站", control);
        row("database: a folder", F::DatabaseFile, "$DIR", "是一个文件夹，不是文件");
        row("database: in memory", F::DatabaseFile, ":memory:", "是内存数据库，程序结束时记录全部丢失");
        row("host: missing folder", F::ServerHost, "/no/such/folder", "文件夹 /no/such/folder 不存在");
        row("host: blank inside", F::ServerHost, "db station", "须为主机名、IP 地址或存放服务器套接字的文件夹");
        row("port 1", F::ServerPort, "1", "");
        row("port 65535", F::ServerPort, "65535", "");
        row("port 0", F::ServerPort, "0", port);
        row("port 65536", F::ServerPort, "65536", port);
        row("database name: 63 bytes", F::ServerName, QString(21, QChar(0x7AD9)), "");
        row("user: 64 bytes", F::ServerUser, QString(64, 'u'), "最多 63 个字节");
        row("password file: owner only", F::PasswordFile, "$DIR/private.pw", "");
        row("password file: others may read", F::PasswordFile, "$DIR/shared.pw",
            "除所有者外还有人可读写此文件（请执行 chmod 600）");
        row("password file: missing", F::PasswordFile, "$DIR/none.pw", "文件不存在");
        row("sslmode: capitalised", F::SslMode, "Require", "须为 disable allow prefer require verify-ca verify-full 之一，或留空");
        row("listen: host name", F::ApiListen, "localhost:8900", badListen, "localhost:8900");
        row("token: none on loopback", F::ApiToken, "", "");
        row("token: none on the network", F::ApiToken, "", "在本机以外监听时必须有令牌，请按“重新生成”", "0.0.0.0:8900");
        row("token: 16 hex on the network", F::ApiToken, "0123456789ABCDEF", "", "0.0.0.0:8900");
        row("token: 64 hex", F::ApiToken, QString(64, 'f'), "");
        row("token: 15 hex", F::ApiToken, QString(15, 'f'), badToken);
        row("token: 65 hex", F::ApiToken, QString(65, 'f'), badToken);
        row("language: EN", F::Language, "EN", "须为 zh 或 en");
        row("natural: 9.99", F::NaturalK, "9.99", "");
        row("natural: 10", F::NaturalK, "10", kRange);
        row("turbo: 0", F::TurboK, "0", kRange);
        row("recent: decimal comma", F::RecentK, "1,5", "不是数字");
        row("recent from: 29 February of a leap year", F::RecentFrom, "2024-02-29", "");
        row("recent from: 30 February", F::RecentFrom, "2008-02-30", "不是有效日期");
    }

    void fields()
    {
        QFETCH(SettingsForm::Field, field); QFETCH(QString, value); QFETCH(QString, refusal); QFETCH(QString, listen);
        // A form every rule takes; the row changes one field.
        SettingsForm f;
        const QStringList valid{"192.168.1.50", "一号检测站", "3号线", "results/opacimeter.sqlite", "db.station.local",
                                "5432", "station", "lane3", "", "require", "127.0.0.1:8900", QString(32, 'a'), "zh",
                                "2.5", "3.0", "2008-07-01", "1.5"};  // in the fields' order
        for (int field = F::ServerAddress; field <= F::RecentK; ++field)
            set(f, F::Field(field), valid.at(field));
        QVERIFY2(f.validate().isEmpty(), qPrintable(f.validate().values().join(' ')));
        f.apiListen = listen;
        set(f, field, expanded(value));
        const SettingsForm::Refusals refused = f.validate();
        QCOMPARE(refused.keys(), refusal.isEmpty() ? QList<SettingsForm::Field>() : QList<SettingsForm::Field>{field});
        QCOMPARE(refused.value(field), refusal);
    }

    void save_data()
    {
        QTest::addColumn<F::Field>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");  // the key's text in set.ini after the save
        QTest::addColumn<int>("changes");
        const auto row = [](const char *name, F::Field field, const QString &value, const char *key,
                            const QString &stored, int changes) {
            QTest::newRow(name) << field << value << QString(key) << stored << changes;
        };
        row("server address", F::ServerAddress, "10.0.0.9", "Server/IP", "10.0.0.9", F::ServerAddressChange);
        row("server address forgotten", F::ServerAddress, " ", "Server/IP", "", F::ServerAddressChange);
        row("lane, trimmed", F::LaneName, " 4号线 ", "Station/Lane", "4号线", F::StationChange);
        row("station refused", F::StationName, "一号\n站", "Station/Name", "一号检测站", 0);
        row("database file", F::DatabaseFile, "lane4.sqlite", "Database/File", "lane4.sqlite", F::DatabaseChange);
        row("token", F::ApiToken, QString(16, 'b'), "Api/Token", QString(16, 'b'), F::ApiChange);
        row("language", F::Language, "en", "UI/Language", "en", F::LanguageChange);
        row("limit", F::TurboK, "3.5", "Limits/TurboK", "3.5", F::LimitsChange);
        row("limit refused", F::NaturalK, "12", "Limits/NaturalK", "2.2", 0);
    }

    void save()
    {
        QFETCH(SettingsForm::Field, field); QFETCH(QString, value); QFETCH(QString, key); QFETCH(QString, stored);
        QFETCH(int, changes);
        testsupport::ScopedWorkDir work;
        QSettings file("./set.ini", QSettings::IniFormat);
        file.setIniCodec("UTF-8");
        const QStringList before{"Server/IP", "192.168.1.50", "Station/Name", "一号检测站", "Database/SslMode", "require",
                                 "Api/Token", QString(32, 'a'), "Limits/NaturalK", "2.2"};
        for (int i = 0; i < before.size(); i += 2)
            file.setValue(before.at(i), before.at(i + 1));
        file.sync();
        const SettingsForm loaded = SettingsForm::load();
        SettingsForm f = loaded;
        set(f, field, expanded(value));
        QCOMPARE(f.save(), QString());

        file.sync();
        QCOMPARE(file.value(key).toString(), stored);
        const SettingsForm after = SettingsForm::load();
        // Nothing but the field at hand moved, and a value taken reads back as typed.
        QCOMPARE(int(after.changesFrom(loaded)), changes);
        if (changes)
            QCOMPARE(int(after.changesFrom(f)), 0);
    }

private:
    // "$DIR" in a row's value stands for the test's own folder.
    QString expanded(const QString &value) const { return QString(value).replace("$DIR", dir.path()); }

    static void set(SettingsForm &f, SettingsForm::Field field, const QString &value)
    {
        QString *const texts[] = {&f.serverAddress, &f.stationName, &f.laneName, &f.databaseFile,
                                  &f.stationServer.host, nullptr, &f.stationServer.name, &f.stationServer.user,
                                  &f.stationServer.passwordFile, &f.stationServer.sslMode, &f.apiListen,
                                  &f.apiToken, &f.language, &f.naturalK, &f.turboK, nullptr, &f.recentK};
        static_assert(F::ServerPort == 5 && F::RecentFrom == 15 && F::RecentK == 16, "the fields' order");
        if (field == F::ServerPort)
            f.stationServer.port = value.toInt();
        else if (field == F::RecentFrom)
            f.recentFrom = QDate::fromString(value, Qt::ISODate);
        else
            *texts[field] = value;
    }

    QTemporaryDir dir;
};

OPA_TEST_CLASS(tst_SettingsForm)
#include "settingsform.moc"
