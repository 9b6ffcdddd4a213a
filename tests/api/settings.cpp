#include <QtTest>

#include <QSettings>

#include "api/apiaccess.h"
#include "config/apisettings.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

// The [Api] section and the access rules that follow from it.
class tst_ApiSettings : public QObject
{
    Q_OBJECT

private slots:
    void listen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");  // empty: refused
        QTest::addColumn<int>("port");

        QTest::newRow("default") << "127.0.0.1:8900" << "127.0.0.1" << 8900;
        QTest::newRow("any IPv4") << "0.0.0.0:1" << "0.0.0.0" << 1;
        QTest::newRow("IPv6 in brackets") << "[::1]:65535" << "::1" << 65535;
        QTest::newRow("host name") << "localhost:8900" << "" << 0;
        QTest::newRow("no port") << "127.0.0.1" << "" << 0;
        QTest::newRow("port 0") << "127.0.0.1:0" << "" << 0;
        QTest::newRow("port 65536") << "127.0.0.1:65536" << "" << 0;
        QTest::newRow("blank inside") << "127.0.0.1 :8900" << "" << 0;
        QTest::newRow("trailing newline") << "127.0.0.1:8900\n" << "" << 0;
        QTest::newRow("short IPv4 form") << "127.1:8900" << "" << 0;
        QTest::newRow("octet 256") << "127.0.0.256:8900" << "" << 0;
        QTest::newRow("IPv6 bare") << "::1:8900" << "" << 0;
    }

    void listen()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(int, port);
        QHostAddress a;
        quint16 p = 0;
        QString error;
        QCOMPARE(settings::parseApiListen(text, &a, &p, &error), !address.isEmpty());
        QCOMPARE(a.toString() + ':' + QString::number(p) + (error.isEmpty() ? "" : " refused"),
                 address + ':' + QString::number(port) + (address.isEmpty() ? " refused" : ""));
    }

    // An empty token is replaced once by a stored random one, with the
    // other keys written out so that a user finds them; a set token stays.
    void tokenMadeOnce()
    {
        testsupport::ScopedWorkDir dir;
        const settings::ApiSettings first = settings::storedApiSettings();
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(first.token).hasMatch());
        QCOMPARE(settings::storedApiSettings().token, first.token);
        QSettings file(QStringLiteral("./set.ini"), QSettings::IniFormat);
        QVERIFY(file.value(QStringLiteral("Api/Listen")) == QStringLiteral("127.0.0.1:8900") && file.value(QStringLiteral("Api/Enabled")).toBool());
        QVERIFY(settings::newApiToken() != settings::newApiToken());
        // A Listen the program cannot use keeps the API off, quoting it.
        file.setValue(QStringLiteral("Api/Listen"), QStringLiteral("lane3:8900"));
        file.sync();
        QVERIFY(settings::storedApiSettings().listenError.contains(QLatin1String("\"lane3:8900\"")));
    }

    void tokenMatches_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "abc123" << "abc123" << true;
        QTest::newRow("last differs") << "abc124" << "abc123" << false;
        QTest::newRow("prefix") << "abc" << "abc123" << false;
        QTest::newRow("longer") << "abc1234" << "abc123" << false;
        QTest::newRow("repeats the token") << "abcabc" << "abc" << false;
        QTest::newRow("both empty") << "" << "" << false;
        QTest::newRow("case") << "ABC123" << "abc123" << false;
    }

    void tokenMatches()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QFETCH(bool, matches);
        QCOMPARE(api::tokenMatches(given, expected), matches);
    }

    void listenRules_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("readingNeedsToken");
        QTest::addColumn<bool>("refused");
        QTest::newRow("loopback, no token") << "127.0.0.1" << "" << false << false;
        QTest::newRow("127.0.0.2 is loopback") << "127.0.0.2" << "" << false << false;
        QTest::newRow("IPv6 loopback") << "::1" << "" << false << false;
        QTest::newRow("lane network, token") << "192.168.1.5" << "t" << true << false;
        QTest::newRow("lane network, no token") << "192.168.1.5" << "" << true << true;
        QTest::newRow("every address, no token") << "0.0.0.0" << "" << true << true;
    }

    void listenRules()
    {
        QFETCH(QString, address);
        QFETCH(QString, token);
        QFETCH(bool, readingNeedsToken);
        QFETCH(bool, refused);
        QCOMPARE(api::readingNeedsToken(QHostAddress(address)), readingNeedsToken);
        QCOMPARE(!api::listenRefusal(QHostAddress(address), token).isEmpty(), refused);
    }
};

OPA_TEST_CLASS(tst_ApiSettings)
#include "settings.moc"
