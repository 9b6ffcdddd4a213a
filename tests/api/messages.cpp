#include <QtTest>

#include "api/apiconvert.h"
#include "api/apimessages.h"
#include "support/testrunner.h"

// A decoded reply as a reading message: the fields the form leaves empty
// go out as null, the others in the hundredths the form shows.
class tst_ApiMessages : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<bool>("hasK");
        QTest::addColumn<bool>("energyAccepted");
        QTest::addColumn<QStringList>("nulls");
        QTest::newRow("all shown") << true << true << QStringList();
        QTest::newRow("K below zero") << false << true
                                      << QStringList{"K", "chamber_C", "smoke_C", "energy"};
        QTest::newRow("energy above the limit") << true << false << QStringList{"energy"};
    }

    void reading()
    {
        QFETCH(bool, hasK);
        QFETCH(bool, energyAccepted);
        QFETCH(QStringList, nulls);
        LaneReading r;
        r.time = QDateTime(QDate(2026, 12, 7), QTime(23, 9, 31, 5));
        r.n = 12.34f;
        r.ns = 0.05f;
        r.k = 0.3f;
        r.chamberC = 25;
        r.smokeC = 30;
        r.energy = 2048;
        r.shown = LaneReading::N | LaneReading::Ns;
        if (hasK)
            r.shown |= LaneReading::K | LaneReading::ChamberC | LaneReading::SmokeC;
        if (hasK && energyAccepted)
            r.shown |= LaneReading::Energy;
        const QJsonObject message = api::readingMessage(api::readingFrom(r));
        QCOMPARE(message.value(QStringLiteral("time")).toString(), QStringLiteral("2026-12-07T23:09:31.005"));
        QCOMPARE(message.value(QStringLiteral("N")), QJsonValue(12.34));
        QCOMPARE(message.value(QStringLiteral("Ns")), QJsonValue(0.05));
        for (const char *key : {"K", "chamber_C", "smoke_C", "energy"})
            QCOMPARE(message.value(QLatin1String(key)).isNull(), nulls.contains(QLatin1String(key)));
        if (hasK)
            QCOMPARE(message.value(QStringLiteral("K")), QJsonValue(0.3));
    }

    // A series that is not valid has no mean, whatever the session left in it.
    void finishedInvalid()
    {
        api::SeriesOutcome o;
        o.snaps = 10;
        o.meanK = 1.234;
        const QJsonObject m = api::seriesFinishedMessage(o);
        QVERIFY(m.value(QStringLiteral("mean_K")).isNull());
        QVERIFY(m.value(QStringLiteral("verdict")).isNull());
        QCOMPARE(m.value(QStringLiteral("valid")), QJsonValue(false));
    }
};

OPA_TEST_CLASS(tst_ApiMessages)
#include "messages.moc"
