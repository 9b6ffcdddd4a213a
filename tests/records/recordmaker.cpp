#include <QtTest>

#include "support/testrunner.h"

#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"
#include "support/testsupport.h"

// The record maker hearing only the session: a series run on a subject becomes
// a record in the database, or is kept when the database refuses it and
// written into the unsaved folder at close.
class tst_RecordMaker : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir.reset();  // back where it was before the next one is made
        dir = std::make_unique<testsupport::ScopedWorkDir>();
        QFile ini(QStringLiteral("set.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Station]\nName=顺义站\nLane=2\n") > 0);
    }

    // A vehicle's test stored; a service test stopped after two snaps, its
    // database refused (a file stands where its folder should be).
    void seriesBecomesRecord_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::newRow("vehicle test stored") << true;
        QTest::newRow("stopped service test refused: kept, then unsaved at close") << false;
    }
    void seriesBecomesRecord()
    {
        QFETCH(bool, stored);
        const QString plate = stored ? QStringLiteral("京A12345") : QString();
        QVERIFY(stored || QFile(QStringLiteral("db")).open(QIODevice::WriteOnly));
        const QString database = QStringLiteral("db/opacimeter.sqlite");

        LaneSession session;
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        auto *recordMaker = new RecordMaker(&session, database, QStringLiteral("unsaved"));
        QSignalSpy kept(recordMaker, &RecordMaker::recordKept);
        QSignalSpy problems(recordMaker, &RecordMaker::storageProblem);
        recordMaker->start();
        emit session.linkChanged(LinkKeeper::State::Connected, QStringLiteral("127.0.0.9"));
        session.takeFrame(testsupport::hex("063900C1"));  // a calibration done

        Vehicle v;
        v.plate = plate;
        v.plateValueK = 1.50;
        QVERIFY(session.startTest(FreeAccelMethod::r24(), TestSubject::of(v, QStringLiteral("王工"), LimitsTable())));
        for (double k : testsupport::snapCurve(!stored ? QVector<double>{1.5, 1.4}
                                                         : QVector<double>{1.50, 1.40, 1.45, 1.42})) {
            session.takeFrame(testsupport::measurementReply(0, 0, qint16(qRound(k * 100)), 20, 21, 100));
            clock.ms += 100;
        }
        if (!stored)
            QVERIFY(session.stopTest());
        QVERIFY(kept.wait(5000));
        const QString id = kept.at(0).at(0).toString();
        QCOMPARE(kept.at(0).at(1).toBool(), stored);
        QCOMPARE(problems.isEmpty(), stored);
        QVERIFY(stored || problems.first().first().toString().startsWith(QStringLiteral("数据库无法写入")));

        QVERIFY(recordMaker->close());
        delete recordMaker;
        // From the database, or else from the unsaved folder.
        TestRecord r;
        RecordStore store;
        QFile unsaved(QStringLiteral("unsaved/%1.json").arg(id));
        QString error;
        if (stored)
            QVERIFY(store.open(database, RecordStore::Mode::ReadOnly) && store.find(id, &r) && store.lastCalibration() == clock.start);
        else
            QVERIFY(unsaved.open(QIODevice::ReadOnly) && TestRecord::fromJson(QJsonDocument::fromJson(unsaved.readAll()).object(), &r, &error));
        QVERIFY(r.id == id && r.hashMatches());
        QCOMPARE(QStringList({r.vehicle.plate, r.operatorName, r.station, r.lane, r.meterAddress, r.software}),
                 QStringList({plate, "王工", "顺义站", "2", "127.0.0.9", "1.0"}));
        QCOMPARE(r.lastCalibration, clock.start);  // heard from the session, and kept as a meter event
        QCOMPARE(r.limit.source, stored ? LimitSource::PlateValue : LimitSource::None);
        QCOMPARE(r.verdict, stored ? QStringLiteral("pass") : QString());
        QCOMPARE(r.outcome, stored ? TestRecord::Outcome::Valid : TestRecord::Outcome::Abandoned);
        QCOMPARE(r.snaps.size(), stored ? 4 : 2);
        QCOMPARE(r.snaps.last().peakK, stored ? 1.42 : 1.40);  // in hundredths, as the meter sent it
        QCOMPARE(r.meanK.value_or(0), stored ? 1.44 : 0);
        QVERIFY(r.trace.tMs.size() > 60 && r.trace.tMs.first() == 0);
    }

private:
    std::unique_ptr<testsupport::ScopedWorkDir> dir;
};

OPA_TEST_CLASS(tst_RecordMaker)
#include "recordmaker.moc"
