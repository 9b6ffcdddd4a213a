#include <QtTest>

#include "support/testrunner.h"

#include "config/limitsettings.h"
#include "config/recordsettings.h"
#include "records/limits.h"
#include "records/vehicle.h"
#include "support/testsupport.h"

Q_DECLARE_METATYPE(VehicleRules::VinCheck)
Q_DECLARE_METATYPE(LimitSource)

// What the operator types about a vehicle, and the limit it is judged by.
class tst_VehicleRules : public QObject
{
    Q_OBJECT

private slots:
    void plate_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("valid");
        QTest::newRow("trimmed and upper-cased") << " 京a12345  " << "京A12345" << true;
        QTest::newRow("empty is a service test") << "   " << "" << true;
        QTest::newRow("16 characters") << "粤B1234567890ABCD" << "粤B1234567890ABCD" << true;
        QTest::newRow("17 characters") << "粤B1234567890ABCDE" << "粤B1234567890ABCDE" << false;
        QTest::newRow("hyphen") << "京A-12345" << "京A-12345" << false;
        QTest::newRow("full-width digit") << "京A１2345" << "京A１2345" << false;
    }
    void plate()
    {
        QFETCH(QString, typed); QFETCH(QString, kept); QFETCH(bool, valid);
        const QString plate = VehicleRules::normalisedPlate(typed);
        QCOMPARE(plate, kept);
        QCOMPARE(VehicleRules::isValidPlate(plate), valid);
    }

    void vin_data()
    {
        using C = VehicleRules::VinCheck;
        QTest::addColumn<QString>("typed");
        QTest::addColumn<C>("check");
        QTest::newRow("none") << "" << C::Empty;
        QTest::newRow("check digit X") << "1M8GDM9AXKP042788" << C::Valid;
        QTest::newRow("lower case, blanks around") << " 1m8gdm9axkp042788 " << C::Valid;
        QTest::newRow("check digit wrong") << "1M8GDM9A1KP042788" << C::WrongCheckDigit;
        QTest::newRow("European, Z at 9") << "WP0ZZZ99ZTS392124" << C::WrongCheckDigit;
        QTest::newRow("16 characters") << "1M8GDM9AXKP04278" << C::Invalid;
        QTest::newRow("18 characters") << "1M8GDM9AXKP0427888" << C::Invalid;
        for (const char *letter : {"I", "O", "Q"})
            QTest::addRow("letter %s", letter) << QStringLiteral("1M8GDM9AXK%1042788").arg(QLatin1String(letter)) << C::Invalid;
    }
    void vin()
    {
        QFETCH(QString, typed); QFETCH(VehicleRules::VinCheck, check);
        QCOMPARE(VehicleRules::checkVin(VehicleRules::normalisedVin(typed)), check);
    }

    void limit_data()
    {
        QTest::addColumn<QString>("plate");
        QTest::addColumn<QString>("intake");
        QTest::addColumn<QDate>("registered");
        QTest::addColumn<double>("plateValue");  // 0: none
        QTest::addColumn<double>("manual");      // 0: none
        QTest::addColumn<LimitSource>("source");
        QTest::addColumn<double>("limit");
        const QDate old(2005, 1, 1), none;
        using L = LimitSource;
        QTest::newRow("plate value wins over the table") << "京A1" << "turbo" << old << 1.1 << 0.0 << L::PlateValue << 1.1;
        QTest::newRow("manual wins over plate value") << "京A1" << "turbo" << old << 1.1 << 2.0 << L::Manual << 2.0;
        QTest::newRow("natural, old") << "京A1" << "natural" << old << 0.0 << 0.0 << L::Table << 2.5;
        QTest::newRow("turbo, day before 2008-07-01") << "京A1" << "turbo" << QDate(2008, 6, 30) << 0.0 << 0.0 << L::Table << 3.0;
        QTest::newRow("turbo, on 2008-07-01") << "京A1" << "turbo" << QDate(2008, 7, 1) << 0.0 << 0.0 << L::Table << 1.5;
        QTest::newRow("recent, intake unknown") << "京A1" << "" << QDate(2015, 1, 1) << 0.0 << 0.0 << L::Table << 1.5;
        QTest::newRow("old, intake unknown: none") << "京A1" << "" << old << 0.0 << 0.0 << L::None << 0.0;
        QTest::newRow("no date: none") << "京A1" << "natural" << none << 0.0 << 0.0 << L::None << 0.0;
        QTest::newRow("service test: none") << "" << "turbo" << old << 1.1 << 0.0 << L::None << 0.0;
        QTest::newRow("service test, manual") << "" << "" << none << 0.0 << 1.8 << L::Manual << 1.8;
    }
    void limit()
    {
        QFETCH(QString, plate); QFETCH(QString, intake); QFETCH(QDate, registered); QFETCH(double, plateValue);
        QFETCH(double, manual); QFETCH(LimitSource, source); QFETCH(double, limit);
        Vehicle v;
        v.plate = plate;
        v.intake = Vehicle::intakeFromKey(intake);
        v.firstRegistration = registered;
        v.plateValueK = plateValue > 0 ? std::optional<double>(plateValue) : std::nullopt;
        const LimitChoice choice = selectLimit(v, LimitsTable(), manual > 0 ? std::optional<double>(manual) : std::nullopt);
        QCOMPARE(choice.source, source);
        if (choice.hasLimit())
            QCOMPARE(choice.limitK, limit);
    }

    // The station's own figures in set.ini replace the starting values; a value
    // that is no positive number keeps its starting value. A result equal to
    // the limit passes.
    void limitsTableFromSettings()
    {
        testsupport::ScopedWorkDir dir;
        QVERIFY(testsupport::writeFile(QStringLiteral("set.ini"), "[Limits]\nNaturalK=2.2\nTurboK=-1\nRecentFrom=2011-01-01\n"));
        const LimitsTable table = settings::storedLimitsTable();
        QCOMPARE(QVector<double>({table.naturalK, table.turboK, table.recentK}), QVector<double>({2.2, 3.0, 1.5}));
        QCOMPARE(table.recentFrom, QDate(2011, 1, 1));
        QCOMPARE(verdictKey(1.2, 1.20) + ' ' + verdictKey(1.21, 1.20), QStringLiteral("pass fail"));
    }
};

OPA_TEST_CLASS(tst_VehicleRules)
#include "vehiclerules.moc"
