#include <QtTest>

#include "api/apicommand.h"
#include "support/testrunner.h"

// The command parser: what is taken, and the error a client gets for what is
// not. The vehicle rules themselves are the records' (tst_records); one
// stands here for all, to show its error names the field.
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
        QTest::newRow("id a fraction") << QByteArray(R"({"cmd":"stopTest","id":0.5,"token":"t"})") << "id: must be";
        QTest::newRow("cmd a number") << QByteArray(R"({"cmd":3,"id":1})") << "cmd: must be a string";
        QTest::newRow("unknown command") << QByteArray(R"({"cmd":"reboot","id":1})") << "unknown command 'reboot'";
        QTest::newRow("unknown field") << QByteArray(R"({"cmd":"stopTest","id":1,"token":"t","force":true})") << "force: unknown field";
        QTest::newRow("token missing") << QByteArray(R"({"cmd":"clearMaxima","id":1})") << "token: missing";
        QTest::newRow("token a number") << QByteArray(R"({"cmd":"auth","id":1,"token":5})") << "token: must be a string";
        QTest::newRow("rate 3") << QByteArray(R"({"cmd":"subscribe","id":1,"rate":3})") << "rate: must be 1, 2, 5 or 10";
        QTest::newRow("rate as text") << QByteArray(R"({"cmd":"subscribe","id":1,"rate":"5"})") << "rate: must be";
        QTest::newRow("topic unknown") << QByteArray(R"({"cmd":"subscribe","id":1,"topics":["reading","debug"]})") << "topics: each one of";
        QTest::newRow("topics a string") << QByteArray(R"({"cmd":"subscribe","id":1,"topics":"reading"})") << "topics: must be an array";
        QTest::newRow("limit 501") << QByteArray(R"({"cmd":"listRecords","id":1,"limit":501})") << "limit: a whole number from 1 to 500";
        QTest::newRow("limit 2.5") << QByteArray(R"({"cmd":"listRecords","id":1,"limit":2.5})") << "limit: a whole number";
        QTest::newRow("since not a time") << QByteArray(R"({"cmd":"listRecords","id":1,"since":"yesterday"})") << "since: an ISO 8601";
        QTest::newRow("getRecord by number") << QByteArray(R"({"cmd":"getRecord","id":7})") << "getRecord takes the record's id";
        QTest::newRow("vehicle missing") << start + R"("method":"R24"})" << "vehicle: missing";
        QTest::newRow("operator blank") << QByteArray(R"({"cmd":"startTest","id":1,"token":"t","operator":"  ","vehicle":{"plate":"A1","category":"N1"}})") << "operator: must not be empty";
        QTest::newRow("plate a number") << start + R"("vehicle":{"plate":12,"category":"N1"}})" << "vehicle.plate: must be a string";
        QTest::newRow("plate 17 long") << start + R"("vehicle":{"plate":"ABCDEFGHIJKLMNOPQ","category":"N1"}})" << "vehicle.plate: at most 16";
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
            "firstRegistration":"2019-05-01","odometerKm":120000,"plateValueK":1.2}})");
        QVERIFY2(p.ok, qPrintable(p.error));
        const api::Vehicle &v = p.command.vehicle;
        QCOMPARE((QStringList{v.plate, v.vin, v.firstRegistration.toString(Qt::ISODate), QString::number(v.odometerKm.value_or(-1)), p.command.operatorName}),
                 (QStringList{"京A12345", "1M8GDM9A1KP042788", "2019-05-01", "120000", "Li"}));
        QVERIFY(p.command.warnings.size() == 1 && p.command.warnings.first().contains(QLatin1String("'X'")));
        // A day as the lower bound starts at its midnight; as the upper, it holds the whole day.
        const api::ParsedCommand list = api::parseCommand(R"({"cmd":"listRecords","id":4,"since":"2026-12-01","until":"2026-12-07"})");
        QVERIFY2(list.ok, qPrintable(list.error));
        QCOMPARE(list.command.filter.since, QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
        QCOMPARE(list.command.filter.until, QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59, 999)));
    }
};

OPA_TEST_CLASS(tst_ApiCommands)
#include "commands.moc"
