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
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("outcome");  // address, port, and who may read; or "unusable"

        QTest::newRow("default") << "127.0.0.1:8900" << "" << "127.0.0.1 8900 anyone";
        QTest::newRow("127.0.0.2 is loopback") << "127.0.0.2:1" << "" << "127.0.0.2 1 anyone";
        QTest::newRow("IPv6 loopback in brackets") << "[::1]:65535" << "" << "::1 65535 anyone";
        QTest::newRow("lane network, token") << "192.168.1.5:8900" << "t" << "192.168.1.5 8900 with the token";
        QTest::newRow("lane network, no token") << "192.168.1.5:8900" << "" << "192.168.1.5 8900 refused";
        QTest::newRow("every address, no token") << "0.0.0.0:8900" << "" << "0.0.0.0 8900 refused";
        for (const char *bad : {"localhost:8900", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1 :8900",
                                "127.0.0.1:8900\n", "127.1:8900", "127.0.0.256:8900", "::1:8900"})
            QTest::newRow(bad) << bad << "t" << "unusable";
    }

    // What [Api] Listen may say, and what the address means for access: on
    // loopback anyone may read, elsewhere only with the token, and without
    // a token the API does not listen there at all.
    void listen()
    {
        QFETCH(QString, text);
        QFETCH(QString, token);
        QFETCH(QString, outcome);
        QHostAddress a;
        quint16 p = 0;
        QString error;
        const bool parsed = settings::parseApiListen(text, &a, &p, &error);
        QCOMPARE(error.isEmpty(), parsed);
        const QString access = !api::listenRefusal(a, token).isEmpty() ? "refused" : api::readingNeedsToken(a) ? "with the token" : "anyone";
        QCOMPARE(parsed ? QStringLiteral("%1 %2 %3").arg(a.toString()).arg(p).arg(access) : QStringLiteral("unusable"), outcome);
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
};

OPA_TEST_CLASS(tst_ApiSettings)
#include "settings.moc"
