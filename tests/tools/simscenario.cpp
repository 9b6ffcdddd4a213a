#include <QtTest>

#include "support/testrunner.h"

#include <cmath>

#include "meter/measurementframe.h"
#include "sim/scenario.h"
#include "sim/simoptions.h"

Q_DECLARE_METATYPE(RawMeasurement)

// The values the simulated meter reports, scenario by scenario.
class tst_SimScenario : public QObject
{
    Q_OBJECT

private:
    static std::unique_ptr<Scenario> scenarioFor(const QStringList &arguments)
    {
        const SimArguments parsed = parseSimArguments(QStringList{QStringLiteral("sim")} + arguments);
        if (parsed.status != SimArguments::Run)
            return nullptr;
        QString error;
        return makeScenario(parsed.options, &error);
    }

    // First time at or after 'from' (1-ms steps) where 'pred' holds; -1 if none.
    template<typename Pred>
    static qint64 firstTime(qint64 from, qint64 to, Pred pred)
    {
        for (qint64 t = from; t < to; ++t)
            if (pred(t))
                return t;
        return -1;
    }

private slots:
    // steady
    void steadyDefaultsGiveReferenceReply();
    void steadyValuesFromOptions();

    // smoke
    void smokePuffRisesPeaksAndDecays();
    void smokeRepeatsWithAnotherPeak();
    void smokeValuesStayPlausible();

    // step-up, step-down
    void stepResponse_data();
    void stepResponse();

    // file
    void fileRows_data();
    void fileRows();
    void fileErrors_data();
    void fileErrors();
    void fileRowsRepeatOnePerRequest();
    void missingFileIsAnError();
};

void tst_SimScenario::steadyDefaultsGiveReferenceReply()
{
    const auto scenario = scenarioFor({});
    QVERIFY(scenario);
    const QByteArray reference = QByteArray::fromHex("06330AD20464002C01191E000817");
    QCOMPARE(MeasurementFrame::encode(scenario->at(0)), reference);
    QCOMPARE(MeasurementFrame::encode(scenario->at(987654)), reference);
}

void tst_SimScenario::steadyValuesFromOptions()
{
    const auto scenario = scenarioFor({"--n", "-10", "--ns", "99.99", "--k", "0.05", "--chamber",
                                       "255", "--smoke", "0", "--energy", "4097"});
    QVERIFY(scenario);
    QCOMPARE(scenario->at(5), (RawMeasurement{-1000, 9999, 5, 255, 0, 4097}));
}

void tst_SimScenario::smokePuffRisesPeaksAndDecays()
{
    const SmokeScenario smoke(8000);
    const double peak = smoke.peakPercent(0);
    const qint64 start = SmokeScenario::PuffStartMs;
    const qint64 top = start + SmokeScenario::RiseMs;

    // Quiet before the puff, at its peak within a second, rising all the way.
    QVERIFY(smoke.ns(start - 1) < 1.0);
    QVERIFY(top - start <= 1000);
    QVERIFY(std::abs(smoke.ns(top) - peak) < 0.5);
    for (qint64 t = start; t < top; t += 20)
        QVERIFY2(smoke.ns(t + 20) > smoke.ns(t), qPrintable(QString::number(t)));
    // Falls steadily for three seconds, and is mostly gone after five.
    for (qint64 t = top; t < top + 3000; t += 50)
        QVERIFY2(smoke.ns(t + 50) < smoke.ns(t), qPrintable(QString::number(t)));
    QVERIFY(smoke.ns(top + 5000) < peak * 0.05 + 1.0);
}

void tst_SimScenario::smokeRepeatsWithAnotherPeak()
{
    const SmokeScenario smoke(6000);
    const qint64 top = SmokeScenario::PuffStartMs + SmokeScenario::RiseMs;
    QVERIFY(smoke.ns(6000 + SmokeScenario::PuffStartMs - 1) < 1.0);
    QVERIFY(std::abs(smoke.ns(6000 + top) - smoke.peakPercent(1)) < 0.5);
    QVERIFY(smoke.peakPercent(1) != smoke.peakPercent(0));
}

void tst_SimScenario::smokeValuesStayPlausible()
{
    SmokeScenario smoke(8000);
    for (qint64 t = 0; t < 200000; t += 37) {
        const RawMeasurement m = smoke.at(t);
        const QString where = QStringLiteral("at %1 ms").arg(t);
        QVERIFY2(m.ns >= 0 && m.ns <= 10000, qPrintable(where));
        QVERIFY2(m.k >= 0, qPrintable(where));
        // The instrument's shorter path sees less opacity than the standard one.
        QVERIFY2(m.n <= m.ns, qPrintable(where));
        // K follows Ns by Beer-Lambert over 0.43 m; allow for rounding of both.
        const double k = -std::log(1.0 - m.ns / 10000.0) / 0.43;
        QVERIFY2(std::abs(m.k / 100.0 - k) <= 0.02, qPrintable(where));
        QVERIFY2(m.chamber >= 70 && m.chamber <= 80, qPrintable(where));
        QVERIFY2(m.smoke >= 80 && m.smoke <= 130, qPrintable(where));
        // The program shows energy values up to 4096 only.
        QVERIFY2(m.energy > 0 && m.energy <= 4096, qPrintable(where));
    }
}

void tst_SimScenario::stepResponse_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tau");
    QTest::addColumn<int>("period");
    QTest::newRow("up, default tau") << "step-up" << 455 << 8000;
    QTest::newRow("up, fast") << "step-up" << 100 << 2000;
    QTest::newRow("down, default tau") << "step-down" << 455 << 8000;
    QTest::newRow("down, slow") << "step-down" << 1500 << 20000;
}

void tst_SimScenario::stepResponse()
{
    QFETCH(QString, name);
    QFETCH(int, tau);
    QFETCH(int, period);
    const bool up = name == QLatin1String("step-up");
    const auto scenario = scenarioFor({"--scenario", name, "--tau", QString::number(tau),
                                       "--period", QString::number(period)});
    QVERIFY(scenario);
    auto *step = dynamic_cast<StepScenario *>(scenario.get());
    QVERIFY(step);

    const double from = up ? 0 : 100;
    const qint64 stepAt = period / 2;
    QCOMPARE(step->level(0), from);
    QCOMPARE(step->level(stepAt - 1), from);
    // Ns as the meter reports it, in percent.
    const auto ns = [&](qint64 t) { return scenario->at(t).ns / 100.0; };
    // The 10 % and 90 % crossings, as the program's thresholds see them.
    const qint64 t10 = firstTime(stepAt, period, [&](qint64 t) {
        return up ? ns(t) >= 10 : ns(t) <= 90;
    });
    const qint64 t90 = firstTime(stepAt, period, [&](qint64 t) {
        return up ? ns(t) >= 90 : ns(t) <= 10;
    });
    QVERIFY(t10 > 0 && t90 > t10);
    // A first-order response takes tau * ln 9 from 10 % to 90 %.
    const double expected = tau * std::log(9.0);
    QVERIFY2(std::abs((t90 - t10) - expected) <= 2.0,
             qPrintable(QStringLiteral("%1 ms, expected %2").arg(t90 - t10).arg(expected)));
    QVERIFY(std::abs(step->tenToNinetyMs() - expected) < 0.01);
    // Settled by the end of the cycle, back to the start level right after.
    QVERIFY(std::abs(step->level(period - 1) - (100 - from)) < 0.5);
    QCOMPARE(step->level(period), from);
}

void tst_SimScenario::fileRows_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<RawMeasurement>>("rows");

    const RawMeasurement a{1234, 100, 300, 25, 30, 2048};
    const RawMeasurement b{-5, 0, -1, 255, 0, 4097};
    QTest::newRow("plain") << QByteArray("1234,100,300,25,30,2048\n-5,0,-1,255,0,4097\n")
                           << QList<RawMeasurement>{a, b};
    QTest::newRow("header, comments, blanks, CRLF")
        << QByteArray("N,Ns,K,chamber,smoke,energy\r\n# a puff\r\n\r\n"
                      " 1234 , 100 , 300 , 25 , 30 , 2048 \r\n-5,0,-1,255,0,4097")
        << QList<RawMeasurement>{a, b};
}

void tst_SimScenario::fileRows()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<RawMeasurement>, rows);
    QString error;
    const auto scenario = FileScenario::parse(text, QStringLiteral("rows.csv"), &error);
    QVERIFY2(scenario, qPrintable(error));
    QCOMPARE(scenario->rowList().toList(), rows);
}

void tst_SimScenario::fileErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("too few values") << QByteArray("1,2,3,4,5,6\n1,2,3\n")
                                    << "rows.csv:2: expected 6 values";
    QTest::newRow("chamber out of range") << QByteArray("0,0,0,256,0,0\n")
                                          << "rows.csv:1: chamber must be a whole number from 0 to 255, not '256'";
    QTest::newRow("N over 16 bits") << QByteArray("32768,0,0,0,0,0\n")
                                    << "rows.csv:1: N must be a whole number";
    QTest::newRow("decimal where raw expected") << QByteArray("12.34,1,3,25,30,2048\n")
                                                << "rows.csv:1: N must be a whole number";
    QTest::newRow("second header") << QByteArray("N,Ns,K,chamber,smoke,energy\nN,Ns,K,a,b,c\n")
                                   << "rows.csv:2: N must be a whole number";
    QTest::newRow("header only") << QByteArray("N,Ns,K,chamber,smoke,energy\n")
                                 << "rows.csv: no rows of values";
    QTest::newRow("empty") << QByteArray() << "rows.csv: no rows of values";
}

void tst_SimScenario::fileErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    QString error;
    QVERIFY(!FileScenario::parse(text, QStringLiteral("rows.csv"), &error));
    QVERIFY2(error.startsWith(message), qPrintable(error));
}

void tst_SimScenario::fileRowsRepeatOnePerRequest()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("rows.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("100,0,0,0,0,0\n200,0,0,0,0,0\n300,0,0,0,0,0\n");
    file.close();

    const auto scenario = scenarioFor({"--scenario", "file", file.fileName()});
    QVERIFY(scenario);
    QList<qint16> seen;
    // Rows advance per request, whatever the clock says.
    for (qint64 t : {0, 0, 0, 50000, 1, 1, 1})
        seen.append(scenario->at(t).n);
    QCOMPARE(seen, (QList<qint16>{100, 200, 300, 100, 200, 300, 100}));
}

void tst_SimScenario::missingFileIsAnError()
{
    SimOptions options;
    options.scenario = QStringLiteral("file");
    options.csvPath = QStringLiteral("/nonexistent/rows.csv");
    QString error;
    QVERIFY(!makeScenario(options, &error));
    QVERIFY2(error.startsWith(QLatin1String("/nonexistent/rows.csv: ")), qPrintable(error));
}

OPA_TEST_CLASS(tst_SimScenario)
#include "simscenario.moc"
