#include <QtTest>

#include "support/testrunner.h"

#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"
#include "support/testsupport.h"

using testsupport::measurementReply;

// The lane's session driven headless: replies in; readings, the
// free-acceleration series and the recording out, with no widget anywhere.
class tst_LaneSession : public QObject
{
    Q_OBJECT

private slots:
    // Rows reach the disk within a second without a stop; a file that cannot
    // be made or written ends the recording once, with the reason.
    void recordingWrites_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("failure");  // the start of the reason
        QTest::newRow("new folder") << "records/a.csv" << true << "";
        QTest::newRow("folder under a plain file")
            << QCoreApplication::applicationFilePath() + "/records/a.csv" << false << "无法创建文件夹";
        QTest::newRow("disk full") << "/dev/full" << true << "写入 /dev/full 失败";
    }
    void recordingWrites()
    {
        QFETCH(QString, path); QFETCH(bool, opens); QFETCH(QString, failure);
        testsupport::ScopedWorkDir dir;
        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        QSignalSpy failed(&session, &LaneSession::recordingFailed);
        QSignalSpy stopped(&session, &LaneSession::recordingStopped);
        QCOMPARE(session.startRecording(path), opens);
        const QByteArray reply = measurementReply(1, 2, 3, 4, 5, 6);
        session.takeFrame(reply);
        const int size = ReadingCsvWriter::header().size() + 1 + ReadingCsvWriter::row(session.lastReading()).size() + 1;
        if (failure.isEmpty())  // the header and the row, with no stop yet
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(path).size() == size; }, 3000));
        else if (opens)  // the timed flush meets the full disk
            QVERIFY(failed.wait(3000));
        session.stopRecording();
        session.takeFrame(reply);
        QVERIFY(!session.isRecording());
        QCOMPARE(failed.count(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QVERIFY2(failed.at(0).at(0).toString().startsWith(failure), qPrintable(failed.at(0).at(0).toString()));
        QCOMPARE(stopped.count(), failure.isEmpty() ? 1 : 0);
    }

    // A series and a recording started on the session, fed replies, end
    // with their results in their files: the recording for programs, the
    // results file, a series stopped by hand included, for people.
    void seriesAndRecordingHeadless()
    {
        testsupport::ScopedWorkDir dir;
        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        QSignalSpy started(&session, &LaneSession::recordingStarted);
        QSignalSpy finished(&session, &LaneSession::seriesFinished);
        QVERIFY(session.startRecording() && !session.stopTest());
        QVERIFY(session.startTest(FreeAccelMethod::r24()));

        // Idle, then four snaps in band, one reply without K among the idle ones.
        QVector<double> k = testsupport::snapCurve({1.50, 1.40, 1.45, 1.42});
        k[3] = -1;
        for (double value : k) {
            session.takeFrame(measurementReply(qint16(qRound(value * 50)), 0, qint16(qRound(value * 100)), 20, 21, 100));
            clock.ms += 100;
        }
        session.stopRecording();
        QVERIFY(session.startTest(FreeAccelMethod::r24()) && session.stopTest() && !session.testRunning());

        const FinishedSeries o = finished.at(0).at(0).value<FinishedSeries>();
        QCOMPARE(o.started, clock.start);
        QCOMPARE(o.trace.size(), int(o.started.msecsTo(o.ended) / 100) + 1);  // start to end
        QVERIFY(!o.trace.at(3).hasK && o.trace.at(4).hasK && o.trace.at(4).offsetMs == 400);
        QFile record(started.at(0).at(0).toString());
        QVERIFY(record.fileName() == "records/20260501-083000.csv" && record.open(QIODevice::ReadOnly));
        QCOMPARE(record.peek(5), QByteArray("time,"));  // for programs: no byte-order mark
        QCOMPARE(record.readAll().count('\n'), k.size() + 1);
        QFile results(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(results.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = results.readAll().split('\n');
        QCOMPARE(lines.size(), 4);  // a line added for the stopped series, no second mark
        QCOMPARE(lines.at(0), "\xEF\xBB\xBF" + QByteArray(FreeAccelCsv::Header));  // for people
        QCOMPARE(lines.at(1), FreeAccelCsv::line(o).toUtf8());
        QCOMPARE(lines.at(2).mid(lines.at(2).indexOf(',') + 1), QByteArray("R24,,,no,,"));
    }
};

OPA_TEST_CLASS(tst_LaneSession)
#include "lanesession.moc"
