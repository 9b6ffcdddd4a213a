#include <QtTest>

#include "support/testrunner.h"

#include "meter/measurementframe.h"
#include "meter/frames.h"
#include "meter/measurement.h"
#include "net/framecutter.h"
#include "sim/meterreplies.h"

Q_DECLARE_METATYPE(MeterReplies::Kind)
Q_DECLARE_METATYPE(RawMeasurement)

// The bytes the simulated meter speaks: its replies, its measurement
// frames as the program's decoder reads them, and the cutting of the
// host's command stream.
class tst_SimProtocol : public QObject
{
    Q_OBJECT

private slots:
    // Replies.
    void replyForCommand_data();
    void replyForCommand();
    void everyFixedReplyIsAWellFormedFrame_data();
    void everyFixedReplyIsAWellFormedFrame();

    // Measurement frames.
    void measurementFrame_data();
    void measurementFrame();
    void measurementChecksumOverValueRange();

    // Stray bytes for --garbage.
    void strayBytesNeverHoldAReplyStart();
    void garbageGoesBeforeEveryThirdReply();

    // Cutting the host's stream.
    void cutCommands_data();
    void cutCommands();
    void partialCommandCanBeDropped();
};

void tst_SimProtocol::replyForCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<MeterReplies::Kind>("kind");
    QTest::addColumn<QByteArray>("reply");

    using K = MeterReplies::Kind;
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("read measurement") << hex("213300AC") << K::Measurement << QByteArray();
    QTest::newRow("calibration step 1") << hex("213800A7") << K::CalibrationStart
                                        << hex("063800C2");
    QTest::newRow("calibration step 2") << hex("213900A6") << K::CalibrationFinish
                                        << hex("063900C1");
    QTest::newRow("factory reset") << hex("214A01A2F2") << K::FactoryReset << hex("064A00B0");
    QTest::newRow("unknown code") << hex("21AB0034") << K::Unknown << QByteArray();
    // Only the exact frames count: a wrong checksum or argument is unknown.
    QTest::newRow("read, wrong checksum") << hex("213300AD") << K::Unknown << QByteArray();
    QTest::newRow("reset, other argument") << hex("214A01A3F1") << K::Unknown << QByteArray();
    QTest::newRow("a reply sent back") << hex("063900C1") << K::Unknown << QByteArray();
    QTest::newRow("empty") << QByteArray() << K::Unknown << QByteArray();
}

void tst_SimProtocol::replyForCommand()
{
    QFETCH(QByteArray, command);
    QFETCH(MeterReplies::Kind, kind);
    QFETCH(QByteArray, reply);

    QCOMPARE(MeterReplies::classify(command), kind);
    QCOMPARE(MeterReplies::fixedReply(kind), reply);
}

void tst_SimProtocol::everyFixedReplyIsAWellFormedFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("calibration start") << MeterReplies::calibrationStartReply();
    QTest::newRow("calibration done")
        << MeterReplies::fixedReply(MeterReplies::Kind::CalibrationFinish);
    QTest::newRow("factory reset accepted")
        << MeterReplies::fixedReply(MeterReplies::Kind::FactoryReset);
}

void tst_SimProtocol::everyFixedReplyIsAWellFormedFrame()
{
    QFETCH(QByteArray, frame);
    QCOMPARE(frame.at(0), Frames::MeterStart);
    QCOMPARE(frame.size(), Frames::frameSize(static_cast<unsigned char>(frame.at(2))));
    QVERIFY(Frames::sumsToZero(frame));
    // Short replies are what the program publishes for the companion.
    QCOMPARE(Measurement::classify(frame), Measurement::FrameKind::ShortReply);
}

void tst_SimProtocol::measurementFrame_data()
{
    QTest::addColumn<RawMeasurement>("values");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<float>("N");
    QTest::addColumn<float>("chamber");
    QTest::addColumn<float>("energy");

    QTest::newRow("reference reply") << RawMeasurement{1234, 100, 300, 25, 30, 2048}
                                     << QByteArray::fromHex("06330AD20464002C01191E000817")
                                     << 12.34f << 25.0f << 2048.0f;
    QTest::newRow("negative N") << RawMeasurement{-1000, 0, 0, 0, 0, 0}
                                << QByteArray::fromHex("06330A18FC0000000000000000A9")
                                << -10.0f << 0.0f << 0.0f;
    QTest::newRow("hot chamber, energy over the limit")
        << RawMeasurement{0, 0, 0, 255, 0, 4097}
        << QByteArray::fromHex("06330A000000000000FF000110AD") << 0.0f << 255.0f << 4097.0f;
    QTest::newRow("extremes") << RawMeasurement{-32768, 32767, -1, 0, 255, -32768}
                              << QByteArray::fromHex("06330A0080FF7FFFFF00FF008042")
                              << -327.68f << 0.0f << -32768.0f;
}

void tst_SimProtocol::measurementFrame()
{
    QFETCH(RawMeasurement, values);
    QFETCH(QByteArray, frame);
    QFETCH(float, N);
    QFETCH(float, chamber);
    QFETCH(float, energy);

    const QByteArray encoded = MeasurementFrame::encode(values);
    QCOMPARE(encoded.toHex().toUpper(), frame.toHex().toUpper());
    QVERIFY(Frames::sumsToZero(encoded));

    // The program's own decoder reads back what the simulator meant.
    Measurement::Reading reading;
    QVERIFY(Measurement::decode(encoded, &reading));
    QCOMPARE(reading.N, N);
    QCOMPARE(reading.Ns, float(values.ns / 100.0));
    QCOMPARE(reading.K, float(values.k / 100.0));
    QCOMPARE(reading.chamberTemp, chamber);
    QCOMPARE(reading.smokeTemp, float(values.smoke));
    QCOMPARE(reading.energy, energy);
}

void tst_SimProtocol::measurementChecksumOverValueRange()
{
    // Every field swept through its range, so that carries in the sum and
    // both bytes of each 16-bit field are exercised.
    for (int v = -32768; v <= 32767; v += 251) {
        const RawMeasurement m{qint16(v), qint16(-v - 1), qint16(v ^ 0x5A5A), quint8(v & 0xFF),
                               quint8((v >> 8) & 0xFF), qint16(v * 3)};
        const QByteArray frame = MeasurementFrame::encode(m);
        QCOMPARE(frame.size(), Measurement::ReplySize);
        QVERIFY2(Frames::sumsToZero(frame), frame.toHex().constData());
    }
}

void tst_SimProtocol::strayBytesNeverHoldAReplyStart()
{
    for (int index = 0; index < 300; ++index) {
        const QByteArray stray = MeterReplies::strayBytes(index);
        QVERIFY(!stray.isEmpty());
        QVERIFY(stray.size() <= 3);
        QVERIFY2(!stray.contains(Frames::MeterStart), stray.toHex().constData());
    }
}

void tst_SimProtocol::garbageGoesBeforeEveryThirdReply()
{
    QList<int> marked;
    for (int index = 0; index < 10; ++index)
        if (MeterReplies::garbageBefore(index))
            marked.append(index);
    QCOMPARE(marked, (QList<int>{0, 3, 6, 9}));
}

void tst_SimProtocol::cutCommands_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QByteArray>("stray");
    QTest::addColumn<bool>("partialLeft");

    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    const QByteArray read = hex("213300AC");
    const QByteArray reset = hex("214A01A2F2");

    QTest::newRow("one command") << QList<QByteArray>{read} << QList<QByteArray>{read}
                                 << QByteArray() << false;
    QTest::newRow("two in one chunk") << QList<QByteArray>{read + reset}
                                      << QList<QByteArray>{read, reset} << QByteArray() << false;
    QTest::newRow("byte by byte")
        << QList<QByteArray>{hex("21"), hex("4A"), hex("01"), hex("A2"), hex("F2")}
        << QList<QByteArray>{reset} << QByteArray() << false;
    QTest::newRow("stray in front") << QList<QByteArray>{hex("FF00") + read}
                                    << QList<QByteArray>{read} << hex("FF00") << false;
    QTest::newRow("only stray") << QList<QByteArray>{hex("0633")} << QList<QByteArray>{}
                                << hex("0633") << false;
    QTest::newRow("whole then partial") << QList<QByteArray>{read + hex("2133")}
                                        << QList<QByteArray>{read} << QByteArray() << true;
    QTest::newRow("header only") << QList<QByteArray>{hex("214A")} << QList<QByteArray>{}
                                 << QByteArray() << true;
}

void tst_SimProtocol::cutCommands()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QByteArray, stray);
    QFETCH(bool, partialLeft);

    FrameCutter cutter(Frames::HostStart);
    QList<QByteArray> cut;
    QByteArray skipped;
    for (const QByteArray &chunk : chunks) {
        cutter.append(chunk);
        QByteArray command;
        QByteArray lost;
        bool more = true;
        while (more) {
            more = cutter.next(&command, &lost);
            skipped += lost;
            if (more)
                cut.append(command);
        }
    }
    QCOMPARE(cut, commands);
    QCOMPARE(skipped.toHex(), stray.toHex());
    QCOMPARE(cutter.hasPartial(), partialLeft);
}

void tst_SimProtocol::partialCommandCanBeDropped()
{
    // A length byte claiming 255 data bytes must not swallow the commands
    // that follow once the partial frame is given up.
    FrameCutter cutter(Frames::HostStart);
    cutter.append(QByteArray::fromHex("2133FF"));
    QByteArray command;
    QByteArray stray;
    QVERIFY(!cutter.next(&command, &stray));
    QCOMPARE(cutter.takePartial(), QByteArray::fromHex("2133FF"));
    QVERIFY(!cutter.hasPartial());
    cutter.append(QByteArray::fromHex("213300AC"));
    QVERIFY(cutter.next(&command, &stray));
    QCOMPARE(command, QByteArray::fromHex("213300AC"));
}

OPA_TEST_CLASS(tst_SimProtocol)
#include "simprotocol.moc"
