#include <QtTest>

#include "meter/measurement.h"
#include "net/framecutter.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using FrameList = QList<QByteArray>;
using testsupport::hex;
using testsupport::measurementReply;

namespace {

const QByteArray reply = hex("06330AD20464002C01191E000817");  // N 12.34, Ns 1, K 3, 25/30 C, 2048
const QByteArray done = hex("063900C1");

// Appends 'bytes' and takes every whole frame the cutter then has.
FrameList cut(FrameCutter &cutter, const QByteArray &bytes)
{
    cutter.append(bytes);
    FrameList frames;
    QByteArray frame;
    while (cutter.next(&frame))
        frames.append(frame);
    return frames;
}

// How the program takes a frame: as a measurement (and what it reads), as
// a short reply for the companion, or not at all.
QString take(const QByteArray &frame)
{
    Measurement::Reading r;
    if (!Measurement::decode(frame, &r))
        return Measurement::classify(frame) == Measurement::FrameKind::ShortReply
                   ? QStringLiteral("short reply") : QStringLiteral("ignored");
    return QString::asprintf("N %.2f Ns %.2f K %.2f%s %g/%g C E %g%s", r.N, r.Ns, r.K,
                             r.hasK ? "" : " none", r.chamberTemp, r.smokeTemp, r.energy,
                             r.energyAccepted ? "" : " not taken");
}

} // namespace

// What the program makes of the meter's byte stream: frames cut by their
// length byte, sorted by size and code, and the measurement decoded.
class tst_MeterFrames : public QObject
{
    Q_OBJECT

private slots:
    void cut_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<FrameList>("frames");

        const QByteArray startsInData = hex("06330A06060606060606060606FF");
        QTest::newRow("two frames") << reply + done << FrameList{reply, done};
        QTest::newRow("garbage before and between frames")
            << hex("FF0A21") + done + hex("1234") + reply << FrameList{done, reply};
        // Only the length byte says where a frame ends.
        QTest::newRow("0x06 in the data, bad checksum")
            << startsInData + done << FrameList{startsInData, done};
        QTest::newRow("garbage only") << hex("FF0A2133") << FrameList{};
    }

    // Split into two reads at every point, and byte by byte, the stream
    // gives the same frames and leaves nothing behind.
    void cut()
    {
        QFETCH(QByteArray, stream);
        QFETCH(FrameList, frames);
        for (int split = 0; split <= stream.size(); ++split) {
            FrameCutter cutter;
            FrameList got = ::cut(cutter, stream.left(split));
            got += ::cut(cutter, stream.mid(split));
            QVERIFY2(got == frames && cutter.buffer().isEmpty(), qPrintable(QString::number(split)));
        }
        FrameCutter cutter;
        FrameList got;
        for (char byte : stream)
            got += ::cut(cutter, QByteArray(1, byte));
        QCOMPARE(got, frames);
    }

    void take_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("taken");

        QTest::newRow("measurement") << reply << "N 12.34 Ns 1.00 K 3.00 25/30 C E 2048";
        QTest::newRow("signed values, unsigned temperatures") << measurementReply(-5, -32768, 0, 255, 128, -1)
                                               << "N -0.05 Ns -327.68 K 0.00 255/128 C E -1";
        QTest::newRow("K below zero") << measurementReply(1234, 100, -1, 25, 30, 2048)
                                      << "N 12.34 Ns 1.00 K -0.01 none 25/30 C E 2048";
        QTest::newRow("energy 4096") << measurementReply(0, 0, 0, 0, 0, 4096)
                                     << "N 0.00 Ns 0.00 K 0.00 0/0 C E 4096";
        QTest::newRow("energy 4097") << measurementReply(0, 0, 0, 0, 0, 4097)
                                     << "N 0.00 Ns 0.00 K 0.00 0/0 C E 4097 not taken";
        // Start byte, size and code decide.
        QTest::newRow("14 bytes, other code") << QByteArray(reply).replace(1, 1, "\x34") << "ignored";
        QTest::newRow("9 bytes") << hex("0633050102030405AF") << "short reply";
        QTest::newRow("9 bytes, host's start") << hex("2133050102030405AF") << "ignored";
        QTest::newRow("10 bytes") << hex("06330601020304050600") << "ignored";
        QTest::newRow("15 bytes") << reply + hex("06") << "ignored";
        QTest::newRow("empty") << QByteArray() << "ignored";
    }

    void take()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, taken);
        QCOMPARE(::take(frame), taken);
    }

    // Only a strictly greater reading raises a maximum.
    void raiseMaximum()
    {
        float maximum = 12.34f;
        QVERIFY(!Measurement::raiseMaximum(maximum, 12.34f));
        QVERIFY(!Measurement::raiseMaximum(maximum, -10));
        QVERIFY(Measurement::raiseMaximum(maximum, 12.35f));
        QCOMPARE(maximum, 12.35f);
    }
};

OPA_TEST_CLASS(tst_MeterFrames)
#include "meterframes.moc"
