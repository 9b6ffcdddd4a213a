#include <QtTest>

#include <QCryptographicHash>

#include "config/profilesettings.h"
#include "config/settings.h"
#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"
#include "records/recordbuilder.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

// Procedure profiles: the shipped files run whole series on vehicles of
// every kind, a file with a bad key is refused with the key named, and
// without [Procedure] the station's own set.ini stands as before.
namespace {

using Peaks = QVector<double>;

QString shipped(const QString &name)
{
    return QStringLiteral(OPA_SOURCE_DIR "/profiles/") + name;
}

Vehicle vehicle(Vehicle::Intake intake, const QDate &registered, std::optional<double> plateValueK = std::nullopt,
                int outlets = 1)
{
    Vehicle v;
    v.outlets = outlets;
    v.plate = QStringLiteral("京A12345");
    v.intake = intake;
    v.firstRegistration = registered;
    v.plateValueK = plateValueK;
    return v;
}

} // namespace

Q_DECLARE_METATYPE(Vehicle)

class tst_Profiles : public QObject
{
    Q_OBJECT

private slots:
    void series_data()
    {
        QTest::addColumn<QString>("profile");  // a shipped file, or empty: 自定义 from the project's set.ini
        QTest::addColumn<QString>("variant");
        QTest::addColumn<Vehicle>("vehicle");
        QTest::addColumn<Peaks>("peaks");
        QTest::addColumn<QString>("csvTail");  // method,peaks_K,mean_K,valid,limit_K,verdict
        QTest::addColumn<QString>("row");      // the limit row used

        const QDate old(2006, 3, 14), recent(2010, 1, 1);
        const Vehicle turbo = vehicle(Vehicle::Intake::Turbo, old);
        const QString gb = QStringLiteral("GB3847-2018.ini"), eu = QStringLiteral("EU-2014-45.ini");
        const Peaks purgedHigh{3.00, 2.50, 2.00, 1.10, 1.30, 1.20};
        QTest::newRow("GB a: 3 purges never counted, mean at the limit passes")
            << gb << "a" << turbo << purgedHigh << "GB3847-2018,1.10;1.30;1.20,1.20,yes,1.20,合格" << "限值a";
        QTest::newRow("GB b: the same peaks fail 0.7")
            << gb << "b" << turbo << purgedHigh << "GB3847-2018,1.10;1.30;1.20,1.20,yes,0.70,不合格" << "限值b";
        QTest::newRow("GB: falling and wide peaks count, no band")
            << gb << "b" << turbo << Peaks{0.50, 0.50, 0.50, 0.90, 0.60, 0.30} << "GB3847-2018,0.90;0.60;0.30,0.60,yes,0.70,合格" << "限值b";
        QTest::newRow("EU: the plate value first, also of unknown age")
            << eu << "a" << vehicle(Vehicle::Intake::Turbo, QDate(), 1.40) << Peaks{1.50, 1.40, 1.45, 1.42}
            << "EU-2014-45,1.50;1.40;1.45;1.42,1.44,yes,1.40,不合格" << "铭牌值";
        QTest::newRow("EU: natural of 2006 by the table")
            << eu << "a" << vehicle(Vehicle::Intake::Natural, old) << Peaks{1.40, 1.35, 1.30, 1.25, 1.30}
            << "EU-2014-45,1.35;1.30;1.25;1.30,1.30,yes,2.50,合格" << "自然吸气";
        QTest::newRow("EU: from 2008-07-01 whatever the intake")
            << eu << "a" << vehicle(Vehicle::Intake::Unknown, recent) << Peaks{1.50, 1.60, 1.55, 1.52}
            << "EU-2014-45,1.50;1.60;1.55;1.52,1.54,yes,1.50,不合格" << "2008-07-01 起";
        QTest::newRow("EU: unknown age, no limit")
            << eu << "a" << vehicle(Vehicle::Intake::Turbo, QDate()) << Peaks{1.50, 1.40, 1.45, 1.42}
            << "EU-2014-45,1.50;1.40;1.45;1.42,1.44,yes,," << "";
        // Several outlets, each its own series in turn: the mean of their results, within EU's 0.15.
        const Peaks spread15 = Peaks(4, 1.44) + Peaks(4, 1.29) + Peaks(4, 1.35);
        QTest::newRow("EU: 3 outlets 0.15 apart, their mean")
            << eu << "a" << vehicle(Vehicle::Intake::Turbo, old, std::nullopt, 3) << spread15
            << "EU-2014-45,1.44;1.44;1.44;1.44;1.29;1.29;1.29;1.29;1.35;1.35;1.35;1.35,1.36,yes,3.00,合格" << "涡轮增压";
        QTest::newRow("EU: 3 outlets 0.16 apart, invalid")
            << eu << "a" << vehicle(Vehicle::Intake::Turbo, old, std::nullopt, 3) << Peaks(4, 1.45) + Peaks(4, 1.29) + Peaks(4, 1.35)
            << "EU-2014-45,,,no,3.00," << "涡轮增压";
        QTest::newRow("GB: 2 outlets, no spread rule, each with its purges")
            << gb << "b" << vehicle(Vehicle::Intake::Turbo, old, std::nullopt, 2) << Peaks(3, 0.5) + Peaks(3, 1.0) + Peaks(3, 0.5) + Peaks(3, 0.4)
            << "GB3847-2018,1.00;1.00;1.00;0.40;0.40;0.40,0.70,yes,0.70,合格" << "限值b";
        QTest::newRow("自定义 on today's set.ini: R24 and the [Limits] table")
            << "" << "a" << turbo << Peaks{1.50, 1.30, 1.22, 1.20, 1.25} << "R24,1.30;1.22;1.20;1.25,1.24,yes,3.00,合格" << "";
    }

    void series()
    {
        QFETCH(QString, profile); QFETCH(QString, variant); QFETCH(Vehicle, vehicle); QFETCH(Peaks, peaks);
        QFETCH(QString, csvTail); QFETCH(QString, row);

        testsupport::ScopedWorkDir dir;
        ProcedureProfile p;
        QString error;
        if (profile.isEmpty()) {
            QVERIFY(QFile::copy(QStringLiteral(OPA_SOURCE_DIR "/set.ini"), QStringLiteral("set.ini")));
            p = settings::activeProfile();
            QVERIFY(p.isCustom() && p.usable());
        } else {
            QVERIFY2(ProcedureProfile::read(shipped(profile), &p, &error), qPrintable(error));
            p.variant = variant;
        }
        LaneSession session;
        session.setProfile(p);
        testsupport::ManualLaneClock clock;
        clock.drive(session);
        QSignalSpy finished(&session, &LaneSession::seriesFinished);
        // A method named at the start gives way to a profile's.
        QVERIFY(session.startTest(settings::storedFreeAccelMethod(),
                                  settings::subjectFor(p, vehicle, QStringLiteral("王工"), std::nullopt)));
        // Each outlet's snaps after an idle of their own.
        const int outlets = vehicle.outlets;
        Peaks curve;
        for (int i = 0; i < outlets; ++i)
            curve << testsupport::snapCurve(peaks.mid(i * peaks.size() / outlets, peaks.size() / outlets));
        for (double value : curve) {
            session.takeFrame(testsupport::measurementReply(0, 0, qint16(qRound(value * 100)), 0, 0, 0));
            clock.ms += 100;
        }
        QCOMPARE(finished.count(), 1);
        const FinishedSeries outcome = finished.at(0).at(0).value<FinishedSeries>();
        QCOMPARE(FreeAccelCsv::line(outcome).section(',', 1), csvTail);
        QCOMPARE(outcome.subject.limit.row, row);
        // The English window names the shipped profile and its rows in English; the record keeps the file's name.
        QCOMPARE(p.shownRowName(row, false), row);
        QVERIFY(p.isCustom() || ((row.isEmpty() || p.shownRowName(row, true) != row) && p.shownTitle(true).endsWith("free acceleration")));
        QCOMPARE(outcome.profile.id, p.id);
        // The record: each outlet's result and its snaps' outlets, purges marked; 自定义 as before profiles.
        const TestRecord r = buildRecord(outcome, RecordContext());
        QCOMPARE(r.outletK.size(), outlets > 1 ? outlets : 0);
        QCOMPARE(int(std::count_if(r.snaps.cbegin(), r.snaps.cend(), [](const RecordSnap &s) { return s.purge; })),
                 p.method.purges * outlets);
        QCOMPARE(r.snaps.last().outlet, outlets > 1 ? outlets : 0);
        QCOMPARE(r.toJson().contains("profile"), !p.isCustom());
        TestRecord back;
        QVERIFY(TestRecord::fromJson(r.toJson(), &back, &error));
        QCOMPARE(back.toJson(), r.toJson());  // read back whole, so its hash still holds
    }

    void refused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("from");  // a line of the shipped file ...
        QTest::addColumn<QString>("to");    // ... and what it becomes
        QTest::addColumn<QString>("error"); // empty: taken

        const QString gb = QStringLiteral("GB3847-2018.ini");
        QTest::newRow("GB as shipped") << gb << "" << "" << "";
        QTest::newRow("EU as shipped") << "EU-2014-45.ini" << "" << "" << "";
        QTest::newRow("count missing") << gb << "Counted=3\n" << "" << "GB3847-2018.ini: [Procedure] Counted 缺失";
        QTest::newRow("band not a number") << gb << "Band=0\n" << "Band=x\n" << "GB3847-2018.ini: [Procedure] Band 'x' 不是数字";
        QTest::newRow("id missing") << gb << "Id=GB3847-2018\n" << "" << "GB3847-2018.ini: [Profile] Id 缺失";
        QTest::newRow("purges and counted do not fit") << gb << "MaxSnaps=6" << "MaxSnaps=5" << "[Procedure] MaxSnaps '5'";
        QTest::newRow("counted not whole") << gb << "Counted=3" << "Counted=2.5" << "[Procedure] Counted '2.5' 不是整数";
        QTest::newRow("not true or false") << gb << "RejectDecreasing=false" << "RejectDecreasing=no" << "[Procedure] RejectDecreasing 'no'";
        QTest::newRow("a row's K") << gb << "2\\K=0.7" << "2\\K=abc" << "GB3847-2018.ini: [Limits] 2\\K 'abc' 不是数字";
        QTest::newRow("a row's intake") << gb << "1\\Intake=" << "1\\Intake=diesel" << "[Limits] 1\\Intake 'diesel'";
        QTest::newRow("a row's date") << gb << "1\\RegisteredFrom=" << "1\\RegisteredFrom=2008-13-01" << "[Limits] 1\\RegisteredFrom";
        QTest::newRow("no rows") << gb << "size=2" << "size=0" << "[Limits] size 缺失";
        QTest::newRow("a check's tolerance") << gb << "ZeroMax=2.0\n" << "" << "[Checks] ZeroMax 缺失";
        QTest::newRow("a check unknown") << gb << "Daily=zero,filter" << "Daily=zero,smoke" << "[Checks] Daily 'smoke'";
        QTest::newRow("no file") << "none.ini" << "" << "" << "none.ini: 无法读取";
    }

    void refused()
    {
        QFETCH(QString, file); QFETCH(QString, from); QFETCH(QString, to); QFETCH(QString, error);
        testsupport::ScopedWorkDir dir;
        QFile source(shipped(file));
        QByteArray text = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
        QVERIFY(from.isEmpty() || text.contains(from.toUtf8()));
        if (!from.isEmpty())
            text.replace(from.toUtf8(), to.toUtf8());
        if (!text.isEmpty()) {
            QFile copy(dir.filePath(file));
            QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(text) == text.size());
        }
        ProcedureProfile p;
        QString why;
        QCOMPARE(ProcedureProfile::read(dir.filePath(file), &p, &why), error.isEmpty());
        QVERIFY2(why.contains(error), qPrintable(why));
        if (error.isEmpty())
            QCOMPARE(p.sha256, QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex()));
    }

    // A chosen profile that is not there refuses tests, with the reason,
    // rather than running them by other rules.
    void chosenProfileMissing()
    {
        testsupport::ScopedWorkDir dir;
        settings::storeProcedureChoice({QStringLiteral("GB3847-2019"), QStringLiteral("a")});
        LaneSession session;
        session.setProfile(settings::activeProfile());
        QString why;
        QVERIFY(!session.startTest(FreeAccelMethod::r24(), TestSubject(), &why));
        QVERIFY2(why.contains("GB3847-2019") && why.contains("未找到"), qPrintable(why));
        // The station's own copy in profiles/ comes first and is found by its Id.
        QVERIFY(QDir().mkdir("profiles"));
        QVERIFY(QFile::copy(shipped("GB3847-2018.ini"), "profiles/mine.ini"));
        settings::storeProcedureChoice({QStringLiteral("GB3847-2018"), QStringLiteral("b")});
        const ProcedureProfile p = settings::activeProfile();
        QVERIFY(p.usable() && p.variant == "b" && p.path == QDir::current().absoluteFilePath("profiles/mine.ini"));
    }
};

OPA_TEST_CLASS(tst_Profiles)
#include "profiles.moc"
