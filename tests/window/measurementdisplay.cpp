#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QPushButton>
#include <QSharedMemory>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace {

using testsupport::measurementReply;

const QByteArray Example = QByteArray::fromHex("06330AD20464002C01191E000817");

// The value labels in one fixed order, so a row can list what each shows.
QList<QLabel *> valueLabels(MainWindowTestAccess &a)
{
    auto &ui = a.ui();
    return {ui.label_Nt, ui.label_Nmax, ui.label_Nst, ui.label_resNs, ui.label_Nsmax,
            ui.label_Kt, ui.label_Kmax, ui.label_airroomt, ui.label_smoket, ui.label_Ad};
}

QStringList texts(MainWindowTestAccess &a)
{
    QStringList t;
    for (QLabel *l : valueLabels(a))
        t << l->text();
    return t;
}

} // namespace

// What the form shows for each frame the meter sends: current values,
// maxima, and the frames that must leave it alone.
class tst_MeasurementDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Label texts.
    void labels_data();
    void labels();
    void currentLabelsRewrittenEveryReply();
    void equalValueLeavesMaximumLabelUntouched();

    // Frames that are not measurements.
    void ignoredFrames_data();
    void ignoredFrames();
    void lastMeasurementFrame();

    // Polling.
    void pollSendsReadMeasurement();

    // Clearing the maxima.
    void clearWhileRepliesArrive();

private:
    testsupport::ScopedWorkDir workDir;
};

void tst_MeasurementDisplay::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_MeasurementDisplay::labels_data()
{
    QTest::addColumn<QByteArrayList>("frames");
    // Nt, Nmax, Nst, resNs, Nsmax, Kt, Kmax, airroomt, smoket, Ad
    QTest::addColumn<QStringList>("shown");

    const QStringList exampleShown = {"12.34", "12.34", "1", "1", "1", "3", "3", "25", "30", "2048"};
    QTest::newRow("example reply") << QByteArrayList{Example} << exampleShown;
    QTest::newRow("checksum not looked at")
        << QByteArrayList{QByteArray(Example).replace(13, 1, "\xEE")} << exampleShown;
    QTest::newRow("lower N keeps maximum")
        << QByteArrayList{Example, measurementReply(1000, 100, 300, 25, 30, 2048)}
        << QStringList{"10", "12.34", "1", "1", "1", "3", "3", "25", "30", "2048"};
    // The maxima start at 0, so a first negative value is not a maximum and
    // the maximum labels keep the form's text.
    QTest::newRow("first N -10")
        << QByteArrayList{measurementReply(-1000, -5, 0, 0, 0, 0)}
        << QStringList{"-10", "", "-0.05", "-0.05", "", "0", "", "0", "0", "0"};
    QTest::newRow("K -0.01 stops after Ns")
        << QByteArrayList{Example, measurementReply(2000, 200, -1, 40, 50, 100)}
        << QStringList{"20", "20", "2", "2", "2", "3", "3", "25", "30", "2048"};
    QTest::newRow("first K negative")
        << QByteArrayList{measurementReply(100, 100, -1, 40, 50, 100)}
        << QStringList{"1", "1", "1", "1", "1", "", "", "", "", ""};
    QTest::newRow("temperatures 255")
        << QByteArrayList{measurementReply(0, 0, 0, 255, 255, 0)}
        << QStringList{"0", "", "0", "0", "", "0", "", "255", "255", "0"};
    QTest::newRow("energy 4096 accepted")
        << QByteArrayList{Example, measurementReply(1234, 100, 300, 25, 30, 4096)}
        << QStringList{"12.34", "12.34", "1", "1", "1", "3", "3", "25", "30", "4096"};
    QTest::newRow("energy 4097 shows the previous one")
        << QByteArrayList{Example, measurementReply(1234, 100, 300, 26, 31, 4097)}
        << QStringList{"12.34", "12.34", "1", "1", "1", "3", "3", "26", "31", "2048"};
    QTest::newRow("energy -1 accepted")
        << QByteArrayList{Example, measurementReply(1234, 100, 300, 25, 30, -1)}
        << QStringList{"12.34", "12.34", "1", "1", "1", "3", "3", "25", "30", "-1"};
    QTest::newRow("first energy above the limit shows 0")
        << QByteArrayList{measurementReply(0, 0, 0, 20, 20, 5000)}
        << QStringList{"0", "", "0", "0", "", "0", "", "20", "20", "0"};
    QTest::newRow("16-bit extremes")
        << QByteArrayList{measurementReply(32767, -32768, 32767, 0, 0, -32768)}
        << QStringList{"327.67", "327.67", "-327.68", "-327.68", "", "327.67", "327.67",
                       "0", "0", "-32768"};
}

void tst_MeasurementDisplay::labels()
{
    QFETCH(QByteArrayList, frames);
    QFETCH(QStringList, shown);

    mainwindow w;
    MainWindowTestAccess a(w);
    for (const QByteArray &f : frames)
        a.seraildata(f);
    QCOMPARE(texts(a), shown);
}

void tst_MeasurementDisplay::currentLabelsRewrittenEveryReply()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    a.seraildata(Example);
    for (QLabel *l : valueLabels(a))
        l->setText(QStringLiteral("x"));
    a.seraildata(Example);
    // Same values again: every current label is written, no maximum label is.
    QCOMPARE(texts(a), (QStringList{"12.34", "x", "1", "1", "x", "3", "x", "25", "30", "2048"}));
}

void tst_MeasurementDisplay::equalValueLeavesMaximumLabelUntouched()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    a.seraildata(measurementReply(1234, 500, 300, 25, 30, 10));
    auto &ui = a.ui();
    ui.label_Nmax->setText(QStringLiteral("N untouched"));
    ui.label_Nsmax->setText(QStringLiteral("Ns untouched"));
    ui.label_Kmax->setText(QStringLiteral("K untouched"));

    a.seraildata(measurementReply(1234, 500, 300, 25, 30, 10));
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("N untouched"));
    QCOMPARE(ui.label_Nsmax->text(), QStringLiteral("Ns untouched"));
    QCOMPARE(ui.label_Kmax->text(), QStringLiteral("K untouched"));

    // One hundredth more is strictly greater.
    a.seraildata(measurementReply(1235, 501, 301, 25, 30, 10));
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("12.35"));
    QCOMPARE(ui.label_Nsmax->text(), QStringLiteral("5.01"));
    QCOMPARE(ui.label_Kmax->text(), QStringLiteral("3.01"));
    QCOMPARE(a.Nmax(), float(1235 / 100.0));
}

void tst_MeasurementDisplay::ignoredFrames_data()
{
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("14 bytes, code 0x34") << measurementReply(5000, 5000, 5000, 99, 99, 99).replace(1, 1, "\x34");
    QTest::newRow("14 bytes, host start byte") << measurementReply(5000, 5000, 5000, 99, 99, 99).replace(0, 1, "\x21");
    for (int size : {10, 11, 12, 13, 15, 16, 40}) {
        // A measurement reply cut short or run long, values that would show.
        QByteArray f = measurementReply(5000, 5000, 5000, 99, 99, 99);
        f = size < f.size() ? f.left(size) : f + QByteArray(size - f.size(), '\x11');
        QTest::addRow("%d bytes", size) << f;
    }
}

void tst_MeasurementDisplay::ignoredFrames()
{
    QFETCH(QByteArray, frame);

    mainwindow w;
    MainWindowTestAccess a(w);
    a.seraildata(Example);
    const QStringList before = texts(a);
    QSignalSpy sent(&w, &mainwindow::writecmd);

    a.seraildata(frame);
    QCOMPARE(texts(a), before);
    QCOMPARE(a.lastMeasurement(), Example);
    QCOMPARE(a.N(), float(12.34));
    QCOMPARE(a.Nmax(), float(12.34));
    QCOMPARE(a.energy(), 2048.0f);
    // Neither published for the companion nor answered.
    QVERIFY(!a.dataSegment()->isAttached());
    QCOMPARE(sent.count(), 0);
}

void tst_MeasurementDisplay::lastMeasurementFrame()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QVERIFY(a.lastMeasurement().isNull());

    a.seraildata(Example);
    QCOMPARE(a.lastMeasurement(), Example);

    // Kept whole even when decoding stops at a negative K.
    const QByteArray negativeK = measurementReply(100, 100, -1, 1, 1, 1);
    a.seraildata(negativeK);
    QCOMPARE(a.lastMeasurement(), negativeK);

    const QByteArray highEnergy = measurementReply(100, 100, 100, 1, 1, 9999);
    a.seraildata(highEnergy);
    QCOMPARE(a.lastMeasurement(), highEnergy);
}

void tst_MeasurementDisplay::pollSendsReadMeasurement()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    a.autosend();
    a.autosend();
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(0).at(0).toByteArray(), QByteArray::fromHex("213300AC"));
    QCOMPARE(sent.at(1).at(0).toByteArray(), QByteArray::fromHex("213300AC"));
}

void tst_MeasurementDisplay::clearWhileRepliesArrive()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    auto &ui = a.ui();
    a.seraildata(Example);

    // Bound to the button by name.
    ui.clearButton->click();
    QCOMPARE(texts(a), (QStringList{"12.34", "0", "1", "1", "0", "3", "0", "25", "30", "2048"}));
    QCOMPARE(a.Nmax(), 0.0f);
    QCOMPARE(a.Nsmax(), 0.0f);
    QCOMPARE(a.Kmax(), 0.0f);
    QCOMPARE(a.N(), float(12.34));
    QCOMPARE(a.lastMeasurement(), Example);

    // The next reply sets each maximum that lies above 0; Ns 0 does not.
    a.seraildata(measurementReply(500, 0, 150, 25, 30, 2048));
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("5"));
    QCOMPARE(ui.label_Nsmax->text(), QStringLiteral("0"));
    QCOMPARE(ui.label_Kmax->text(), QStringLiteral("1.5"));

    // Cleared again between two equal replies: the equal value is now a new maximum.
    ui.clearButton->click();
    a.seraildata(measurementReply(500, 0, 150, 25, 30, 2048));
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("5"));
    QCOMPARE(ui.label_Kmax->text(), QStringLiteral("1.5"));
}

OPA_TEST_CLASS(tst_MeasurementDisplay)
#include "measurementdisplay.moc"
