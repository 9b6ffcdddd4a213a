#include <QtTest>

#include "api/apiaccess.h"
#include "api/apicommand.h"
#include "config/apisettings.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

// The command parser: what is taken, and the error a client gets for what is
// not; the [Api] section and the access rules that follow from it. The
// vehicle and name rules themselves are the records' (tst_records); one of
// each stands here for all, to show its error names the field.
class tst_ApiCommands : public QObject
{
    Q_OBJECT

private slots:
    void refused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");

        const QByteArray start = R"({"cmd":"startTest","id":1,"token":"t","operator":"Li",)";
        QTest::newRow("an array") << QByteArray("[1]") << "must be a JSON object";
        QTest::newRow("no id") << QByteArray(R"({"cmd":"stopTest","token":"t"})") << "id: missing";
        QTest::newRow("id past 2^53") << QByteArray(R"({"cmd":"stopTest","id":9007199254740993,"token":"t"})") << "id: must be";
        QTest::newRow("cmd a number") << QByteArray(R"({"cmd":3,"id":1})") << "cmd: must be a string";
        QTest::newRow("unknown command") << QByteArray(R"({"cmd":"reboot","id":1})") << "unknown command 'reboot'";
        QTest::newRow("unknown field") << QByteArray(R"({"cmd":"stopTest","id":1,"token":"t","force":true})") << "force: unknown field";
        QTest::newRow("token missing") << QByteArray(R"({"cmd":"clearMaxima","id":1})") << "token: missing";
        QTest::newRow("rate 3") << QByteArray(R"({"cmd":"subscribe","id":1,"rate":3})") << "rate: must be 1, 2, 5 or 10";
        QTest::newRow("topic unknown") << QByteArray(R"({"cmd":"subscribe","id":1,"topics":["reading","debug"]})") << "topics: each one of";
        QTest::newRow("limit 501") << QByteArray(R"({"cmd":"listRecords","id":1,"limit":501})") << "limit: a whole number from 1 to 500";
        QTest::newRow("since not a time") << QByteArray(R"({"cmd":"listRecords","id":1,"since":"yesterday"})") << "since: an ISO 8601";
        QTest::newRow("getRecord by number") << QByteArray(R"({"cmd":"getRecord","id":7})") << "getRecord takes the record's id";
        QTest::newRow("vehicle missing") << start + R"("method":"R24"})" << "vehicle: missing";
        QTest::newRow("operator with an escape")
            << QByteArray("{\"cmd\":\"startTest\",\"id\":1,\"token\":\"t\",\"operator\":\"\\u001b[2JLi\",\"vehicle\":{\"plate\":\"A1\",\"category\":\"N1\"}}")
            << "operator: must not hold line breaks or other control characters";
        QTest::newRow("plate 17 long") << start + R"("vehicle":{"plate":"ABCDEFGHIJKLMNOPQ","category":"N1"}})" << "vehicle.plate: at most 16";
        QTest::newRow("outlets 5") << start + R"("vehicle":{"plate":"A1","category":"N1","outlets":5}})" << "vehicle.outlets:";
        QTest::newRow("outlets 1.5") << start + R"("vehicle":{"plate":"A1","category":"N1","outlets":1.5}})" << "vehicle.outlets:";
        QTest::newRow("vehicle field unknown") << start + R"("vehicle":{"plate":"A1","category":"N1","colour":"red"}})" << "vehicle.colour: unknown field";
    }

    // Each is refused with an error naming the fault, and the id is kept for
    // the reply whenever it could be read.
    void refused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        const api::ParsedCommand p = api::parseCommand(text);
        QVERIFY2(!p.ok && p.error.contains(error), qPrintable(p.error));
        if (text.contains("\"id\":1"))
            QCOMPARE(p.id, QJsonValue(1));
    }

    // A full startTest is read into its typed fields, normalised as the
    // vehicle panel does, with a wrong VIN check digit only a warning.
    void accepted()
    {
        const api::ParsedCommand p = api::parseCommand(R"({"cmd":"startTest","id":"a","token":"t","operator":" Li ",
            "method":"R24","vehicle":{"plate":" 京a12345 ","vin":"1m8gdm9a1kp042788","category":"N2","intake":"turbo",
            "firstRegistration":"2019-05-01","odometerKm":120000,"plateValueK":1.2,"outlets":4}})");
        QVERIFY2(p.ok, qPrintable(p.error));
        const api::Vehicle &v = p.command.vehicle;
        QCOMPARE((QStringList{v.plate, v.vin, v.firstRegistration.toString(Qt::ISODate), QString::number(v.odometerKm.value_or(-1)), QString::number(v.outlets.value_or(-1)), p.command.operatorName}),
                 (QStringList{"京A12345", "1M8GDM9A1KP042788", "2019-05-01", "120000", "4", "Li"}));
        QVERIFY(p.command.warnings.size() == 1 && p.command.warnings.first().contains(QLatin1String("'X'")));
        // A day as the lower bound starts at its midnight; as the upper, it holds the whole day.
        const api::ParsedCommand list = api::parseCommand(R"({"cmd":"listRecords","id":4,"since":"2026-12-01","until":"2026-12-07"})");
        QVERIFY2(list.ok, qPrintable(list.error));
        QCOMPARE(list.command.filter.since, QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
        QCOMPARE(list.command.filter.until, QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59, 999)));
    }

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
};

OPA_TEST_CLASS(tst_ApiCommands)
#include "commands.moc"
