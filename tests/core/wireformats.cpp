#include <QtTest>

#include <QSharedMemory>

#include <vector>

#include "meter/measurement.h"
#include "net/framecutter.h"
#include "shm/segmentio.h"
#include "shm/shmrecord.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using testsupport::hex;

// The bytes the program reads from outside: the meter's stream, line noise
// and all, cut into frames by their length byte, sorted by size and code
// and decoded; and the record a shared-memory segment holds.
class tst_WireFormats : public QObject
{
    Q_OBJECT

    // How the program takes a frame: as a measurement, a short reply for the
    // companion, or not at all. Which values it shows is the shown-values table's.
    static QString taken(const QByteArray &frame)
    {
        MeterValues v;
        if (Measurement::decode(frame, &v))
            return QString::asprintf("N %g Ns %g K %g T %g/%g E %g", v.n, v.ns, v.k,
                                     v.chamberC, v.smokeC, v.energy);
        return Measurement::classify(frame) == Measurement::FrameKind::ShortReply
                   ? QStringLiteral("short reply") : QStringLiteral("ignored");
    }

    // A frame from its bytes without the checksum: with the right one, and
    // with one that is off by one.
    static QByteArray framed(const char *text)
    {
        const QByteArray bytes = hex(text);
        return bytes + Frames::checksum(bytes);
    }
    static QByteArray corrupted(const QByteArray &frame)
    {
        QByteArray bad = frame;
        bad.back() = char(bad.back() + 1);
        return bad;
    }

private slots:
    void meterStream_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("frames");  // each as taken, between " | "
        QTest::addColumn<int>("dropped");     // for a wrong checksum

        const auto m = &testsupport::measurementReply;
        // Decoding passes every value through; which ones show is not its business.
        QTest::newRow("edges") << m(-5, 0, -1, 255, 0, 4097) << "N -0.05 Ns 0 K -0.01 T 255/0 E 4097" << 0;
        QTest::newRow("9 bytes, 10 bytes") << framed("0633050102030405") + framed("063306010203040506")
            << "short reply | ignored" << 0;
        QTest::newRow("measurement after garbage and a short reply")
            << hex("FF0A21" "063900C1" "1234" "06330AD20464002C01191E000817")
            << "short reply | N 12.34 Ns 1 K 3 T 25/30 E 2048" << 0;
        // Only the length byte ends a frame, not a 0x06 in the data.
        QTest::newRow("0x06 in the data") << framed("06330A06060606060606060606") + hex("063900C1")
            << "N 15.42 Ns 15.42 K 15.42 T 6/6 E 1542 | short reply" << 0;
        // Line noise: a stray start byte in front of a reply is skipped.
        const QByteArray reply = hex("06330AD20464002C01191E000817"), done = hex("063900C1");
        const QString taken = "N 12.34 Ns 1 K 3 T 25/30 E 2048";
        QTest::newRow("stray 0x06 before a measurement") << "\x06" + reply + done << taken + " | short reply" << 0;

        // A wrong checksum: never a reading, a peak or a fixed reply, and
        // counted once however the stream goes on.
        const QByteArray peak = m(4000, 4000, 999, 25, 30, 2048);  // K 9.99
        QTest::newRow("wrong checksum") << corrupted(peak) << "" << 1;
        QTest::newRow("wrong checksum, short replies") << corrupted(done) + corrupted(hex("064A00B0")) << "" << 2;
        QTest::newRow("wrong checksum after a stray byte") << "\x55" + corrupted(peak) + done << "short reply" << 1;
        QTest::newRow("wrong checksum after a stray 0x06") << "\x06" + corrupted(peak) + reply << taken << 1;
        QTest::newRow("bad frame between two good ones") << reply + corrupted(peak) + reply << taken + " | " + taken << 1;
        // 0x06 0x05 reads as the start of a 9-byte frame that holds the
        // front of the reply: only the false start is given up.
        QTest::newRow("false start over a good reply") << hex("0605") + reply << taken << 1;
        QTest::newRow("0x06 0x0A in a bad frame's data") << corrupted(m(0x0A06, 0, 0, 6, 10, 0)) + reply << taken << 1;
    }

    // Split into two reads at every point, a stream gives the same frames,
    // drops as many and leaves nothing behind.
    void meterStream()
    {
        QFETCH(QByteArray, stream); QFETCH(QString, frames); QFETCH(int, dropped);
        for (int split = 0; split <= stream.size(); ++split) {
            FrameCutter cutter;
            QStringList got;
            for (const QByteArray &read : {stream.left(split), stream.mid(split)}) {
                cutter.append(read);
                for (QByteArray frame; cutter.next(&frame);)
                    got << taken(frame);
            }
            const QString at = QStringLiteral("split at %1: ").arg(split);
            QCOMPARE(at + got.join(QStringLiteral(" | ")), at + frames);
            QCOMPARE(cutter.dropped(), dropped);
            QVERIFY(cutter.buffer().isEmpty());
        }
    }

    void shmRecord_data()
    {
        QTest::addColumn<QByteArray>("segment");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QByteArray>("array");

        QTest::newRow("record, then leftovers") << hex("00000001210000") << true << hex("21");
        for (const QByteArray &array : {QByteArray(), QByteArray(""), QByteArray(300, '\x06')})
            QTest::addRow("round trip, %s%d bytes", array.isNull() ? "null, " : "", array.size())
                << ShmRecord::encode(array) << true << array;
        // A malformed record reads as an empty array.
        QTest::newRow("length past the end") << hex("00000005213300AC") << false << QByteArray("");
        QTest::newRow("huge length") << hex("FFFFFFFE213300AC") << false << QByteArray("");
    }

    void shmRecord()
    {
        QFETCH(QByteArray, segment); QFETCH(bool, whole); QFETCH(QByteArray, array);
        // Exactly the segment's bytes on the heap: AddressSanitizer sees a
        // read past the end.
        const std::vector<char> bytes(segment.begin(), segment.end());
        QByteArray read("stale");
        QCOMPARE(ShmRecord::decode(bytes.data(), segment.size(), &read), whole);
        QCOMPARE(read, array);
        QCOMPARE(read.isNull(), array.isNull());
    }

    // While a companion holds the data segment, a record that does not fit
    // is refused, never written past its end. (One that fits going into it
    // is the window's companion test's.)
    void publishIntoHeldSegment()
    {
        const QString key = QStringLiteral("opa-test-%1").arg(QCoreApplication::applicationPid());
        QSharedMemory companion(key), program(key);
        QVERIFY(companion.create(8));
        QString error;
        QCOMPARE(SegmentIO::publish(program, QByteArray(5, 'x'), &error),
                 SegmentIO::PublishResult::Failed);
        QVERIFY(error.contains("holds 8 bytes") && !program.isAttached());
    }
};

OPA_TEST_CLASS(tst_WireFormats)
#include "wireformats.moc"
