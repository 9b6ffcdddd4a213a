#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include "support/testrunner.h"

#include "recordfixtures.h"

using Edit = std::function<void(QJsonObject &)>;
Q_DECLARE_METATYPE(Edit)

namespace {
QJsonObject withTrace(QJsonObject json, const char *key, int index, const QJsonValue &value)
{
    QJsonObject trace = json.value(QStringLiteral("trace")).toObject();
    QJsonArray values = trace.value(QLatin1String(key)).toArray();
    values[index] = value;
    trace.insert(QLatin1String(key), values);
    json.insert(QStringLiteral("trace"), trace);
    return json;
}
} // namespace

// A record made from a series: its fields, its JSON both ways, its hash.
class tst_RecordJson : public QObject
{
    Q_OBJECT

private slots:
    void builtFromSeries();
    void roundTrip();
    void documentShape();
    void hashCatchesChange_data();
    void hashCatchesChange();
    void badDocument_data();
    void badDocument();
};

void tst_RecordJson::builtFromSeries()
{
    const TestRecord r = fixtures::record();
    QCOMPARE(r.id.size(), 36);
    QCOMPARE(r.id, r.id.toLower());
    QCOMPARE(r.countedPeaks(), (QVector<double>{1.30, 1.22, 1.20, 1.25}));
    QVERIFY(!r.snaps.first().counted);
    QCOMPARE(*r.meanK, 1.24);
    QCOMPARE(r.verdict, QStringLiteral("fail"));  // 1.24 above the plate value 1.20
    QCOMPARE(r.snaps.at(1).time, r.started.addMSecs(8000));
    // K falls 1 m-1 a second from its peak of 1.30 to the idle level 0.2.
    QCOMPARE(r.snaps.at(1).durationMs, 1900);
    // The trace runs from start to end, and keeps the reading without K.
    QCOMPARE(r.trace.tMs.first(), 0);
    QCOMPARE(r.trace.tMs.last(), r.started.msecsTo(r.ended));
    QVERIFY(std::isnan(r.trace.k.at(3)));
    QVERIFY(r.hashMatches());
}

void tst_RecordJson::roundTrip()
{
    const TestRecord r = fixtures::record();
    const QByteArray text = QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact);
    TestRecord back;
    QString error;
    QVERIFY2(TestRecord::fromJson(QJsonDocument::fromJson(text).object(), &back, &error),
             qPrintable(error));
    QCOMPARE(QJsonDocument(back.toJson()).toJson(QJsonDocument::Compact), text);
    QCOMPARE(back.started, r.started);
    QCOMPARE(back.vehicle.firstRegistration, QDate(2006, 3, 14));
    QCOMPARE(back.vehicle.intake, Vehicle::Intake::Turbo);
    QVERIFY(back.hashMatches());
}

// Every key the station side reads, with its JSON type.
void tst_RecordJson::documentShape()
{
    const QJsonObject json = fixtures::record().toJson();
    const QStringList keys = {
        "id", "started", "ended", "station", "lane", "operator", "plate", "vin", "category",
        "intake", "firstRegistration", "odometerKm", "plateValueK", "method", "rules", "snaps",
        "peaks_K", "mean_K", "valid", "outcome", "limit_K", "limit_source", "verdict",
        "software", "meter_address", "last_calibration", "trace", "hash"};
    QCOMPARE(json.keys().size(), keys.size());
    for (const QString &key : keys)
        QVERIFY2(json.contains(key), qPrintable(key));
    QVERIFY(json.value("plateValueK").isNull());
    QCOMPARE(json.value("started").toString().size(), int(strlen("2026-12-07T10:15:30.123+00:00")));
    QVERIFY(json.value("started").toString().startsWith("2026-12-07T10:15:30.123"));
    const QJsonObject snap = json.value("snaps").toArray().at(1).toObject();
    QCOMPARE(snap.keys(), (QStringList{"counted", "duration_ms", "peak_K", "peak_N", "time"}));
    const QJsonObject trace = json.value("trace").toObject();
    QCOMPARE(trace.value("period_ms").toInt(), 100);
    QVERIFY(trace.value("K").toArray().at(3).isNull());
    QCOMPARE(json.value("rules").toObject().value("maxSnaps").toInt(), 10);
    // The canonical content has sorted keys and no hash.
    const QByteArray canonical = TestRecord::canonicalContent(json);
    QVERIFY(canonical.startsWith("{\"category\":\"N2\","));
    QVERIFY(!canonical.contains("\"hash\""));
}

void tst_RecordJson::hashCatchesChange_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::newRow("plate") << Edit([](QJsonObject &j) { j["plate"] = "京A12346"; });
    QTest::newRow("operator") << Edit([](QJsonObject &j) { j["operator"] = "李工"; });
    QTest::newRow("verdict") << Edit([](QJsonObject &j) { j["verdict"] = "pass"; });
    QTest::newRow("mean by 0.01") << Edit([](QJsonObject &j) { j["mean_K"] = 1.23; });
    QTest::newRow("one trace point") << Edit([](QJsonObject &j) { j = withTrace(j, "K", 40, 0.21); });
    QTest::newRow("a missing K filled in") << Edit([](QJsonObject &j) { j = withTrace(j, "K", 3, 0.2); });
    QTest::newRow("a snap no longer counted") << Edit([](QJsonObject &j) {
        QJsonArray snaps = j["snaps"].toArray();
        QJsonObject s = snaps[2].toObject();
        s["counted"] = false;
        snaps[2] = s;
        j["snaps"] = snaps;
    });
}

void tst_RecordJson::hashCatchesChange()
{
    QFETCH(Edit, edit);
    QJsonObject json = fixtures::record().toJson();
    const QString sealed = json.value("hash").toString();
    QCOMPARE(TestRecord::hashOf(json), sealed);
    edit(json);
    QVERIFY(TestRecord::hashOf(json) != sealed);
}

void tst_RecordJson::badDocument_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("fault");
    QTest::newRow("no id") << Edit([](QJsonObject &j) { j.remove("id"); }) << "id: missing";
    QTest::newRow("started not a time") << Edit([](QJsonObject &j) { j["started"] = "gestern"; })
                                        << "started: not an ISO 8601 time";
    QTest::newRow("snaps an object") << Edit([](QJsonObject &j) { j["snaps"] = QJsonObject(); })
                                     << "snaps: wrong type";
    QTest::newRow("unknown outcome") << Edit([](QJsonObject &j) { j["outcome"] = "done"; })
                                     << "outcome: unknown";
    QTest::newRow("limit without source")
        << Edit([](QJsonObject &j) { j["limit_source"] = QJsonValue(); })
        << "limit_source: does not match limit_K";
    QTest::newRow("trace arrays differ")
        << Edit([](QJsonObject &j) {
               QJsonObject t = j["trace"].toObject();
               QJsonArray n = t["N"].toArray();
               n.removeLast();
               t["N"] = n;
               j["trace"] = t;
           })
        << "trace.: arrays differ in length";
    QTest::newRow("snap peak text") << Edit([](QJsonObject &j) {
        QJsonArray snaps = j["snaps"].toArray();
        QJsonObject s = snaps[0].toObject();
        s["peak_K"] = "1.5";
        snaps[0] = s;
        j["snaps"] = snaps;
    }) << "snaps[0].peak_K: wrong type";
}

void tst_RecordJson::badDocument()
{
    QFETCH(Edit, edit);
    QFETCH(QString, fault);
    QJsonObject json = fixtures::record().toJson();
    edit(json);
    TestRecord back;
    back.id = QStringLiteral("untouched");
    QString error;
    QVERIFY(!TestRecord::fromJson(json, &back, &error));
    QCOMPARE(error, fault);
    QCOMPARE(back.id, QStringLiteral("untouched"));
}

OPA_TEST_CLASS(tst_RecordJson)
#include "recordjson.moc"
