#include <QtTest>

#include "support/testrunner.h"

#include "support/recordfixtures.h"

namespace {
// The document with the value at 'path' ("snaps.2.counted") replaced; an
// undefined value removes the key.
QJsonValue edited(const QJsonValue &node, QStringList path, const QJsonValue &value)
{
    const QString key = path.takeFirst();
    bool isIndex = false;
    const int index = key.toInt(&isIndex);
    if (isIndex) {
        QJsonArray a = node.toArray();
        a[index] = path.isEmpty() ? value : edited(a.at(index), path, value);
        return a;
    }
    QJsonObject o = node.toObject();
    if (path.isEmpty() && value.isUndefined())
        o.remove(key);
    else
        o[key] = path.isEmpty() ? value : edited(o.value(key), path, value);
    return o;
}
} // namespace

// A record made from a series: its fields, its JSON both ways, its hash.
class tst_RecordJson : public QObject
{
    Q_OBJECT

private slots:
    void builtFromSeriesAndRoundTrip()
    {
        const TestRecord r = fixtures::record();
        QVERIFY(r.id.size() == 36 && r.id == r.id.toLower());
        QCOMPARE(r.countedPeaks(), (QVector<double>{1.30, 1.22, 1.20, 1.25}));
        QCOMPARE(*r.meanK, 1.24);
        QCOMPARE(r.verdict, QStringLiteral("fail"));  // 1.24 above the plate value 1.20
        QCOMPARE(r.snaps.at(1).time, r.started.addMSecs(8000));
        // K falls 1 m-1 a second from its peak of 1.30 to the idle level 0.2.
        QCOMPARE(r.snaps.at(1).durationMs, 1900);
        // The trace runs from start to end, and keeps the reading without K.
        QCOMPARE(r.trace.tMs.first(), 0);
        QCOMPARE(r.trace.tMs.last(), r.started.msecsTo(r.ended));
        QVERIFY(std::isnan(r.trace.k.at(3)));

        const QByteArray text = QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact);
        TestRecord back;
        QString error;
        QVERIFY2(TestRecord::fromJson(QJsonDocument::fromJson(text).object(), &back, &error), qPrintable(error));
        QCOMPARE(QJsonDocument(back.toJson()).toJson(QJsonDocument::Compact), text);
        QVERIFY(r.hashMatches() && back.hashMatches());

        // Every key the station side reads, with its JSON type.
        const QJsonObject json = r.toJson();
        QCOMPARE(json.keys(), (QStringList{"category", "ended", "firstRegistration", "hash", "id", "intake", "lane",
                                           "last_calibration", "limit_K", "limit_source", "mean_K", "meter_address", "method",
                                           "odometerKm", "operator", "outcome", "peaks_K", "plate", "plateValueK", "rules",
                                           "snaps", "software", "started", "station", "trace", "valid", "verdict", "vin"}));
        QVERIFY(json.value("plateValueK").isNull());
        QCOMPARE(json.value("started").toString(), QStringLiteral("2026-12-07T10:15:30.123") + json.value("started").toString().right(6));
        QCOMPARE(json.value("snaps").toArray().at(1).toObject().keys(), (QStringList{"counted", "duration_ms", "peak_K", "peak_N", "time"}));
        // The canonical content has sorted keys and no hash.
        const QByteArray canonical = TestRecord::canonicalContent(json);
        QVERIFY(canonical.startsWith("{\"category\":\"N2\","));
        QVERIFY(!canonical.contains("\"hash\""));
    }

    // An edit the document still reads with changes its hash; one it does not
    // read with is named, and leaves the record it was read into as it was.
    void editedDocument_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("fault");
        QTest::newRow("plate") << "plate" << QJsonValue("京A12346") << "";
        QTest::newRow("mean by 0.01") << "mean_K" << QJsonValue(1.23) << "";
        QTest::newRow("a missing K filled in") << "trace.K.3" << QJsonValue(0.2) << "";
        QTest::newRow("a snap no longer counted") << "snaps.2.counted" << QJsonValue(false) << "";
        QTest::newRow("no id") << "id" << QJsonValue(QJsonValue::Undefined) << "id: missing";
        QTest::newRow("started not a time") << "started" << QJsonValue("gestern") << "started: not an ISO 8601 time";
        QTest::newRow("snaps an object") << "snaps" << QJsonValue(QJsonObject()) << "snaps: wrong type";
        QTest::newRow("unknown outcome") << "outcome" << QJsonValue("done") << "outcome: unknown";
        QTest::newRow("limit without source") << "limit_source" << QJsonValue() << "limit_source: does not match limit_K";
        QTest::newRow("trace arrays differ") << "trace.N" << QJsonValue(QJsonArray{1.0}) << "trace.: arrays differ in length";
        QTest::newRow("snap peak text") << "snaps.0.peak_K" << QJsonValue("1.5") << "snaps[0].peak_K: wrong type";
    }
    void editedDocument()
    {
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, fault);
        const QJsonObject json = fixtures::record().toJson();
        const QJsonObject changed = edited(json, path.split('.'), value).toObject();
        if (fault.isEmpty()) {
            QVERIFY(TestRecord::hashOf(changed) != json.value("hash").toString());
            return;
        }
        TestRecord back;
        back.id = QStringLiteral("untouched");
        QString error;
        QVERIFY(!TestRecord::fromJson(changed, &back, &error));
        QCOMPARE(error, fault);
        QCOMPARE(back.id, QStringLiteral("untouched"));
    }
};

OPA_TEST_CLASS(tst_RecordJson)
#include "recordjson.moc"
