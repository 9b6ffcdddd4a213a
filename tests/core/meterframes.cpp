#include <QtTest>

#include "support/testrunner.h"

#include "meter/frames.h"
#include "meter/measurement.h"
#include "support/testsupport.h"

using Measurement::FrameKind;
Q_DECLARE_METATYPE(Measurement::FrameKind)

namespace {

using testsupport::measurementReply;

} // namespace

// The fixed frames the host sends and recognises, and the decoder of the
// meter's measurement reply.
class tst_MeterFrames : public QObject
{
    Q_OBJECT

private slots:
    // Fixed frames.
    void fixedFrames_data();
    void fixedFrames();
    void factoryResetLayout();
    void checksumRule();

    // Recognition of received frames.
    void classify_data();
    void classify();

    // Decoding.
    void decode_data();
    void decode();
    void decodeRefusesOtherFrames();

    // Maxima.
    void raiseMaximum_data();
    void raiseMaximum();
};

void tst_MeterFrames::fixedFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<char>("start");

    QTest::newRow("read measurement") << Frames::readMeasurement()
        << QByteArray(Frames::ReadMeasurementHex) << QByteArray::fromHex("213300AC") << '\x21';
    QTest::newRow("calibrate step 1") << Frames::calibrateStep1()
        << QByteArray(Frames::CalibrateStep1Hex) << QByteArray::fromHex("213800A7") << '\x21';
    QTest::newRow("calibrate step 2") << Frames::calibrateStep2()
        << QByteArray(Frames::CalibrateStep2Hex) << QByteArray::fromHex("213900A6") << '\x21';
    QTest::newRow("factory reset") << Frames::factoryReset()
        << QByteArray(Frames::FactoryResetHex) << QByteArray::fromHex("214A01A2F2") << '\x21';
    QTest::newRow("calibration done") << Frames::calibrationDone()
        << QByteArray(Frames::CalibrationDoneHex) << QByteArray::fromHex("063900C1") << '\x06';
    QTest::newRow("factory reset accepted") << Frames::factoryResetAccepted()
        << QByteArray(Frames::FactoryResetAcceptedHex) << QByteArray::fromHex("064A00B0") << '\x06';
}

void tst_MeterFrames::fixedFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, hex);
    QFETCH(QByteArray, expected);
    QFETCH(char, start);

    QCOMPARE(bytes, expected);
    QCOMPARE(hex.toUpper(), expected.toHex().toUpper());
    QCOMPARE(bytes.at(0), start);
    QCOMPARE(bytes.size(), static_cast<unsigned char>(bytes.at(2)) + 4);
    QVERIFY(Frames::sumsToZero(bytes));
}

void tst_MeterFrames::factoryResetLayout()
{
    const QByteArray &f = Frames::factoryReset();
    QCOMPARE(f.size(), 5);
    QCOMPARE(f.at(1), '\x4A');
    QCOMPARE(f.at(2), '\x01');
    QCOMPARE(f.at(3), '\xA2');
    QCOMPARE(f.at(4), '\xF2');
}

void tst_MeterFrames::checksumRule()
{
    QCOMPARE(Frames::checksum(QByteArray::fromHex("213300")), '\xAC');
    QCOMPARE(Frames::checksum(QByteArray::fromHex("214A01A2")), '\xF2');
    // A sum that is already a multiple of 256 needs a 0, not 256.
    QCOMPARE(Frames::checksum(QByteArray::fromHex("FF01")), '\x00');
    QVERIFY(Frames::sumsToZero(QByteArray::fromHex("213300AC")));
    QVERIFY(!Frames::sumsToZero(QByteArray::fromHex("213300AD")));
}

void tst_MeterFrames::classify_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<FrameKind>("kind");

    const QByteArray measurement = measurementReply(1234, 100, 300, 25, 30, 2048);
    QTest::newRow("empty") << QByteArray() << FrameKind::Ignored;
    QTest::newRow("measurement") << measurement << FrameKind::Measurement;
    QTest::newRow("14 bytes, other code")
        << QByteArray(measurement).replace(1, 1, "\x34") << FrameKind::Ignored;
    QTest::newRow("14 bytes, host start byte")
        << QByteArray(measurement).replace(0, 1, "\x21") << FrameKind::Ignored;
    // The length byte is not looked at: the size alone decides.
    QTest::newRow("14 bytes, wrong length byte")
        << QByteArray(measurement).replace(2, 1, "\x07") << FrameKind::Measurement;
    QTest::newRow("1 byte") << QByteArray::fromHex("06") << FrameKind::ShortReply;
    QTest::newRow("calibration done") << QByteArray::fromHex("063900C1") << FrameKind::ShortReply;
    QTest::newRow("9 bytes") << QByteArray::fromHex("0633050102030405AF") << FrameKind::ShortReply;
    QTest::newRow("9 bytes, host start byte")
        << QByteArray::fromHex("2133050102030405AF") << FrameKind::Ignored;
    for (int size : {10, 11, 12, 13, 15, 16, 259}) {
        QByteArray f(size, '\0');
        f[0] = '\x06';
        f[1] = '\x33';
        QTest::addRow("%d bytes", size) << f << FrameKind::Ignored;
    }
}

void tst_MeterFrames::classify()
{
    QFETCH(QByteArray, frame);
    QFETCH(FrameKind, kind);
    QCOMPARE(Measurement::classify(frame), kind);
}

void tst_MeterFrames::decode_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<double>("n");
    QTest::addColumn<double>("ns");
    QTest::addColumn<bool>("hasK");
    QTest::addColumn<double>("k");
    QTest::addColumn<double>("chamber");
    QTest::addColumn<double>("smoke");
    QTest::addColumn<bool>("energyAccepted");
    QTest::addColumn<double>("energy");

    QTest::newRow("example reply")
        << QByteArray::fromHex("06330AD20464002C01191E000817")
        << 12.34 << 1.0 << true << 3.0 << 25.0 << 30.0 << true << 2048.0;
    QTest::newRow("any checksum")
        << QByteArray::fromHex("06330AD20464002C01191E0008FF")
        << 12.34 << 1.0 << true << 3.0 << 25.0 << 30.0 << true << 2048.0;
    QTest::newRow("N -10") << measurementReply(-1000, 0, 0, 0, 0, 0)
        << -10.0 << 0.0 << true << 0.0 << 0.0 << 0.0 << true << 0.0;
    QTest::newRow("N -0.05") << measurementReply(-5, 0, 0, 0, 0, 0)
        << -0.05 << 0.0 << true << 0.0 << 0.0 << 0.0 << true << 0.0;
    QTest::newRow("16-bit extremes") << measurementReply(32767, -32768, 32767, 0, 0, 0)
        << 327.67 << -327.68 << true << 327.67 << 0.0 << 0.0 << true << 0.0;
    QTest::newRow("temperatures 255, never -1") << measurementReply(0, 0, 0, 255, 255, 0)
        << 0.0 << 0.0 << true << 0.0 << 255.0 << 255.0 << true << 0.0;
    QTest::newRow("temperatures 128") << measurementReply(0, 0, 0, 128, 127, 0)
        << 0.0 << 0.0 << true << 0.0 << 128.0 << 127.0 << true << 0.0;
    QTest::newRow("K 0 is valid") << measurementReply(100, 200, 0, 20, 21, 5)
        << 1.0 << 2.0 << true << 0.0 << 20.0 << 21.0 << true << 5.0;
    QTest::newRow("K -0.01 stops") << QByteArray::fromHex("06330AD2046400FFFF191E000800")
        << 12.34 << 1.0 << false << -0.01 << 25.0 << 30.0 << true << 2048.0;
    QTest::newRow("energy 4096 accepted") << measurementReply(0, 0, 0, 0, 0, 4096)
        << 0.0 << 0.0 << true << 0.0 << 0.0 << 0.0 << true << 4096.0;
    QTest::newRow("energy 4097 rejected") << measurementReply(0, 0, 0, 0, 0, 4097)
        << 0.0 << 0.0 << true << 0.0 << 0.0 << 0.0 << false << 4097.0;
    QTest::newRow("energy 32767 rejected") << measurementReply(0, 0, 0, 0, 0, 32767)
        << 0.0 << 0.0 << true << 0.0 << 0.0 << 0.0 << false << 32767.0;
    QTest::newRow("energy -1 accepted") << measurementReply(0, 0, 0, 0, 0, -1)
        << 0.0 << 0.0 << true << 0.0 << 0.0 << 0.0 << true << -1.0;
}

void tst_MeterFrames::decode()
{
    QFETCH(QByteArray, frame);
    QFETCH(double, n);
    QFETCH(double, ns);
    QFETCH(bool, hasK);
    QFETCH(double, k);
    QFETCH(double, chamber);
    QFETCH(double, smoke);
    QFETCH(bool, energyAccepted);
    QFETCH(double, energy);

    Measurement::Reading r;
    QVERIFY(Measurement::decode(frame, &r));
    // Hundredths are divided in double precision, then kept as float.
    QCOMPARE(r.N, float(n));
    QCOMPARE(r.Ns, float(ns));
    QCOMPARE(r.hasK, hasK);
    QCOMPARE(r.K, float(k));
    QCOMPARE(r.chamberTemp, float(chamber));
    QCOMPARE(r.smokeTemp, float(smoke));
    QCOMPARE(r.energyAccepted, energyAccepted);
    QCOMPARE(r.energy, float(energy));
}

void tst_MeterFrames::decodeRefusesOtherFrames()
{
    Measurement::Reading r;
    r.N = 42;
    QVERIFY(!Measurement::decode(QByteArray(), &r));
    QVERIFY(!Measurement::decode(QByteArray::fromHex("06340AD20464002C01191E000817"), &r));
    QVERIFY(!Measurement::decode(QByteArray::fromHex("06330AD20464002C01191E0008"), &r));
    QCOMPARE(r.N, 42.0f);
}

void tst_MeterFrames::raiseMaximum_data()
{
    QTest::addColumn<float>("maximum");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("raised");
    QTest::addColumn<float>("after");

    QTest::newRow("greater") << 1.0f << 12.34f << true << 12.34f;
    QTest::newRow("equal") << 12.34f << 12.34f << false << 12.34f;
    QTest::newRow("lower") << 12.34f << 10.0f << false << 12.34f;
    QTest::newRow("negative below 0") << 0.0f << -10.0f << false << 0.0f;
    QTest::newRow("just above") << 0.0f << 0.01f << true << 0.01f;
}

void tst_MeterFrames::raiseMaximum()
{
    QFETCH(float, maximum);
    QFETCH(float, value);
    QFETCH(bool, raised);
    QFETCH(float, after);
    QCOMPARE(Measurement::raiseMaximum(maximum, value), raised);
    QCOMPARE(maximum, after);
}

OPA_TEST_CLASS(tst_MeterFrames)
#include "meterframes.moc"
