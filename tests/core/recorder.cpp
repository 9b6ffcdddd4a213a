#include <QtTest>

#include "support/testrunner.h"

#include "meter/recorder.h"
#include "support/testsupport.h"

using testsupport::measurementReply;

static const QDateTime at(QDate(2026, 12, 6), QTime(8, 9, 10, 42));

class RecorderTest : public QObject
{
    Q_OBJECT

private slots:
    // A row holds what the form shows, and nothing where the form shows nothing.
    void row_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("values");
        QTest::newRow("K below zero") << measurementReply(-50, 60, -1, 25, 30, 9) << "-0.5,0.6,,,,";
        QTest::newRow("all shown")
            << measurementReply(1234, 1, 0, 25, 30, 4096) << "12.34,0.01,0,25,30,4096";
        QTest::newRow("energy above the limit")
            << measurementReply(1, 2, 3, 25, 30, 4097) << "0.01,0.02,0.03,25,30,";
    }
    void row()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, values);
        Measurement::Reading reading;
        QVERIFY(Measurement::decode(reply, &reading));
        QCOMPARE(Recorder::row(at, reading), "2026-12-06T08:09:10.042," + values);
    }

    // Rows reach the disk within a second without a stop; a file that cannot
    // be made or written ends the recording, with the reason.
    void writes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("fails");
        QTest::newRow("new folder") << "records/a.csv" << true << false;
        QTest::newRow("folder under a plain file")
            << QCoreApplication::applicationFilePath() + "/records/a.csv" << false << true;
        QTest::newRow("disk full") << "/dev/full" << true << true;
    }
    void writes()
    {
        QFETCH(QString, path);
        QFETCH(bool, opens);
        QFETCH(bool, fails);
        testsupport::ScopedWorkDir dir;
        Recorder recorder;
        QSignalSpy stopped(&recorder, &Recorder::stopped);
        QCOMPARE(recorder.start(path), opens);
        recorder.record({});
        const int size = Recorder::header().size() + 1 + Recorder::row(at, {}).size() + 1;
        if (opens && !fails)  // the header and the row, with no stop yet
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(path).size() == size; }, 3000));
        else if (opens)  // the timed flush meets the full disk
            QVERIFY(stopped.wait(3000));
        recorder.stop();
        QCOMPARE(recorder.errorString().isEmpty(), !fails);
        const QList<QVariantList> once{{recorder.errorString()}};  // empty after a plain stop
        QCOMPARE(QList<QVariantList>(stopped), opens ? once : QList<QVariantList>());
    }
};

OPA_TEST_CLASS(RecorderTest)
#include "recorder.moc"
