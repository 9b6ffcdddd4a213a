#include <QtTest>

#include "api/apimessages.h"
#include "support/testrunner.h"

// Messages whose rules the lane's events do not all reach (a reading's
// nulls are tst_ApiBridge's).
class tst_ApiMessages : public QObject
{
    Q_OBJECT

private slots:
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
