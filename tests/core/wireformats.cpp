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
        Measurement::Reading r;
        if (Measurement::decode(frame, &r))
            return QString::asprintf("N %g Ns %g K %g T %g/%g E %g", r.N, r.Ns, r.K,
                                     r.chamberTemp, r.smokeTemp, r.energy);
        return Measurement::classify(frame) == Measurement::FrameKind::ShortReply
                   ? QStringLiteral("short reply") : QStringLiteral("ignored");
    }

private slots:
    void meterStream_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("frames");  // each as taken, between " | "

        const auto m = &testsupport::measurementReply;
        // Decoding passes every value through; which ones show is not its business.
        QTest::newRow("edges") << m(-5, 0, -1, 255, 0, 4097) << "N -0.05 Ns 0 K -0.01 T 255/0 E 4097";
        QTest::newRow("14 bytes, other code") << hex("06340AD20464002C01191E000816") << "ignored";
        QTest::newRow("9 bytes, 10 bytes") << hex("0633050102030405AF" "06330601020304050600")
            << "short reply | ignored";
        QTest::newRow("measurement after garbage and a short reply")
            << hex("FF0A21" "063900C1" "1234" "06330AD20464002C01191E000817")
            << "short reply | N 12.34 Ns 1 K 3 T 25/30 E 2048";
        // Only the length byte ends a frame: not a 0x06 in the data, not a bad checksum.
        QTest::newRow("0x06 in the data") << hex("06330A06060606060606060606FF063900C1")
            << "N 15.42 Ns 15.42 K 15.42 T 6/6 E 1542 | short reply";
        // Line noise: a stray start byte in front of a reply is skipped.
        const QByteArray reply = hex("06330AD20464002C01191E000817"), done = hex("063900C1");
        const QString taken = "N 12.34 Ns 1 K 3 T 25/30 E 2048";
        QTest::newRow("stray 0x06 before a measurement") << "\x06" + reply + done << taken + " | short reply";
        QTest::newRow("stray 0x06 before a short reply") << "\x06" + done << "short reply";
        QTest::newRow("stray 0x06 twice") << "\x06" + reply + "\x06" + reply << taken + " | " + taken;
        QTest::newRow("stray 0x06 between replies") << reply + "\x06" + done << taken + " | short reply";
    }

    // Split into two reads at every point, a stream gives the same frames
    // and leaves nothing behind.
    void meterStream()
    {
        QFETCH(QByteArray, stream); QFETCH(QString, frames);
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
        QTest::newRow("3 bytes") << hex("000000") << false << QByteArray("");
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

    // A length no array can hold is refused from the header alone: nothing
    // past it is read.
    void recordLongerThanAnArray()
    {
        QByteArray array;
        for (const char *header : {"80000000", "7FFFFFFF"})
            QVERIFY(!ShmRecord::decode(hex(header).constData(), qint64(3) * 1024 * 1024 * 1024, &array));
    }

    // While a companion holds the data segment, a record that fits goes into
    // it and one that does not is refused, never written past its end.
    void publishIntoHeldSegment()
    {
        const QString key = QStringLiteral("opa-test-%1").arg(QCoreApplication::applicationPid());
        QSharedMemory companion(key), program(key);
        QVERIFY(companion.create(8));
        QString error;
        QCOMPARE(SegmentIO::publish(program, testsupport::hex("063900C1"), &error),
                 SegmentIO::PublishResult::Reused);
        QCOMPARE(ShmRecord::decode(QByteArray(static_cast<const char *>(companion.constData()), 8)),
                 testsupport::hex("063900C1"));
        QCOMPARE(SegmentIO::publish(program, QByteArray(5, 'x'), &error),
                 SegmentIO::PublishResult::Failed);
        QVERIFY(error.contains("holds 8 bytes") && !program.isAttached());
    }
};

OPA_TEST_CLASS(tst_WireFormats)
#include "wireformats.moc"
