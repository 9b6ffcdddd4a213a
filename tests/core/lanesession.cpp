#include <QtTest>

#include "support/testrunner.h"

#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"
#include "lane/trendbuffer.h"
#include "support/testsupport.h"

using testsupport::measurementReply;

// The lane's session driven headless: replies in; readings, the
// free-acceleration series and the recording out, with no widget anywhere.
class LaneSessionTest : public QObject
{
    Q_OBJECT

private slots:
    // Which values a reply shows, as every user of a reading sees it: the
    // reading itself, a recorded row and the live curve.
    void shownValues_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");  // N,Ns,K,chamber,smoke,energy
        QTest::newRow("all shown") << measurementReply(1234, 1, 0, 25, 30, 4096) << "12.34,0.01,0,25,30,4096";
        QTest::newRow("K below zero: nothing after Ns")
            << measurementReply(-50, 60, -1, 25, 30, 9) << "-0.5,0.6,,,,";
        QTest::newRow("energy above the limit") << measurementReply(1, 2, 3, 25, 30, 4097) << "0.01,0.02,0.03,25,30,";
        QTest::newRow("energy below zero is taken") << measurementReply(0, 0, 1, 0, 255, -1) << "0,0,0.01,0,255,-1";
    }
    void shownValues()
    {
        QFETCH(QByteArray, reply); QFETCH(QString, shown);
        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.ms = 42;
        clock.drive(session);
        QSignalSpy taken(&session, &LaneSession::readingTaken);
        QCOMPARE(session.takeFrame(reply), Measurement::FrameKind::Measurement);
        QCOMPARE(taken.count(), 1);
        const LaneReading r = taken.at(0).at(0).value<LaneReading>();
        QCOMPARE(r.shownTexts().join(','), shown);
        QCOMPARE(Recorder::row(r), "2026-05-01T08:30:00.042," + shown);
        TrendBuffer trend;
        trend.append(r);
        QVector<QPointF> n, k;
        trend.points(42, &n, &k);
        QVERIFY(n.size() == 1 && k.size() == (shown.section(',', 2, 2).isEmpty() ? 0 : 1));
        QVERIFY(r.frame == reply && session.lastReading().frame == reply);
    }

    // Frames other than measurement replies make no reading; a calibration
    // reply is a calibration done, or the factory reset's end once one began.
    void otherFrames()
    {
        LaneSession session;
        QSignalSpy taken(&session, &LaneSession::readingTaken);
        QSignalSpy calibrated(&session, &LaneSession::calibrated);
        QSignalSpy reset(&session, &LaneSession::factoryResetDone);
        QCOMPARE(session.takeFrame(testsupport::hex("063900C1")), Measurement::FrameKind::ShortReply);
        session.beginFactoryReset();
        QCOMPARE(session.takeFrame(testsupport::hex("064A00B0")), Measurement::FrameKind::ShortReply);
        QCOMPARE(session.takeFrame(testsupport::hex("063900C1")), Measurement::FrameKind::ShortReply);
        QCOMPARE(session.takeFrame(testsupport::hex("06340AD20464002C01191E000816")),
                 Measurement::FrameKind::Ignored);
        QVERIFY(taken.isEmpty() && !session.hasReading());
        QCOMPARE(calibrated.count(), 1);
        QCOMPARE(reset.count(), 1);
    }

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
        const int size = Recorder::header().size() + 1 + Recorder::row(session.lastReading()).size() + 1;
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
    // with their results heard as signals and kept in their files.
    void seriesAndRecordingHeadless()
    {
        testsupport::ScopedWorkDir dir;
        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        QSignalSpy started(&session, &LaneSession::recordingStarted);
        QSignalSpy rows(&session, &LaneSession::rowsWritten);
        QSignalSpy stopped(&session, &LaneSession::recordingStopped);
        QSignalSpy snaps(&session, &LaneSession::snapFound);
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

        QCOMPARE(snaps.count(), 4);
        QCOMPARE(finished.count(), 1);
        const SeriesOutcome o = finished.at(0).at(0).value<SeriesOutcome>();
        QCOMPARE(o.started, clock.start);
        QCOMPARE(o.trace.size(), int(o.started.msecsTo(o.ended) / 100) + 1);  // start to end
        QVERIFY(!o.trace.at(3).hasK && o.trace.at(4).hasK && o.trace.at(4).offsetMs == 400);

        QCOMPARE(started.count(), 1);
        QCOMPARE(rows.count(), k.size());
        QCOMPARE(QList<QVariantList>(stopped), QList<QVariantList>{{started.at(0).at(0)}});
        QFile record(started.at(0).at(0).toString());
        QVERIFY(record.fileName() == "records/20260501-083000.csv" && record.open(QIODevice::ReadOnly));
        QCOMPARE(record.peek(5), QByteArray("time,"));  // for programs: no byte-order mark
        QCOMPARE(record.readAll().count('\n'), k.size() + 1);
        QFile results(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(results.open(QIODevice::ReadOnly));
        const QList<QByteArray> resultLines = results.readAll().split('\n');
        QCOMPARE(resultLines.at(0), "\xEF\xBB\xBF" + QByteArray(FreeAccelCsv::Header));  // for people
        QCOMPARE(resultLines.at(1), FreeAccelCsv::line(o).toUtf8());

        // A series stopped by hand is abandoned: no result, one line that says so.
        QSignalSpy abandoned(&session, &LaneSession::seriesAbandoned);
        QVERIFY(session.startTest(FreeAccelMethod::r24()) && session.stopTest() && !session.testRunning());
        QCOMPARE(abandoned.count(), 1);
        const SeriesOutcome gone = abandoned.at(0).at(0).value<SeriesOutcome>();
        QVERIFY(!gone.hasResult && gone.ending == SeriesOutcome::Ending::Abandoned);
        QCOMPARE(FreeAccelCsv::line(gone).section(',', 1), QStringLiteral("R24,,,no,,"));
        QFile appended(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(appended.open(QIODevice::ReadOnly));
        QCOMPARE(appended.readAll().count("\xEF\xBB\xBF"), 1);  // a line added, no second mark
    }
};

OPA_TEST_CLASS(LaneSessionTest)
#include "lanesession.moc"
