#include <QtTest>

#include "support/testrunner.h"

#include <cstring>
#include <memory>

#include "shm/shmrecord.h"

// The record both segments hold: a 32-bit big-endian length, then the bytes.
class tst_ShmRecord : public QObject
{
    Q_OBJECT

private slots:
    // Writing.
    void encode_data();
    void encode();
    void clearMarker();

    // Reading what a segment holds, well-formed or not.
    void decode_data();
    void decode();
    void decodeNeverReadsPastSize();
};

void tst_ShmRecord::encode_data()
{
    QTest::addColumn<QByteArray>("array");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("null") << QByteArray() << QByteArray::fromHex("FFFFFFFF");
    QTest::newRow("empty") << QByteArray("") << QByteArray::fromHex("00000000");
    QTest::newRow("calibration done") << QByteArray::fromHex("063900C1")
                                      << QByteArray::fromHex("00000004063900C1");
    // The length in front is big-endian; the values inside stay as the meter sent them.
    QTest::newRow("measurement reply")
        << QByteArray::fromHex("06330AD20464002C01191E000817")
        << QByteArray::fromHex("0000000E06330AD20464002C01191E000817");
    QTest::newRow("300 bytes") << QByteArray(300, '\x06')
                               << QByteArray::fromHex("0000012C") + QByteArray(300, '\x06');
}

void tst_ShmRecord::encode()
{
    QFETCH(QByteArray, array);
    QFETCH(QByteArray, record);
    QCOMPARE(ShmRecord::encode(array), record);
}

void tst_ShmRecord::clearMarker()
{
    QCOMPARE(ShmRecord::clearMarker(), QByteArray::fromHex("0000000100"));
    // Read back, the marker is a one-byte array: never a 4-byte command.
    QCOMPARE(ShmRecord::decode(ShmRecord::clearMarker()), QByteArray(1, '\0'));
}

void tst_ShmRecord::decode_data()
{
    QTest::addColumn<QByteArray>("segment");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QByteArray>("array");
    QTest::addColumn<bool>("null");

    const QByteArray command = QByteArray::fromHex("213300AC");
    QTest::newRow("command") << QByteArray::fromHex("00000004213300AC") << true << command << false;
    QTest::newRow("command, then leftovers")
        << QByteArray::fromHex("00000004213300AC0000000E06330A") << true << command << false;
    QTest::newRow("empty array") << QByteArray::fromHex("00000000") << true << QByteArray("") << false;
    QTest::newRow("null marker") << QByteArray::fromHex("FFFFFFFF") << true << QByteArray() << true;
    QTest::newRow("null marker, then bytes")
        << QByteArray::fromHex("FFFFFFFF213300AC") << true << QByteArray() << true;

    // Malformed: each reads as an empty array and is reported as such.
    QTest::newRow("0 bytes") << QByteArray() << false << QByteArray("") << false;
    QTest::newRow("1 byte") << QByteArray::fromHex("00") << false << QByteArray("") << false;
    QTest::newRow("3 bytes") << QByteArray::fromHex("000000") << false << QByteArray("") << false;
    QTest::newRow("4 bytes, length 4")
        << QByteArray::fromHex("00000004") << false << QByteArray("") << false;
    QTest::newRow("length one past the end")
        << QByteArray::fromHex("00000005213300AC") << false << QByteArray("") << false;
    QTest::newRow("huge length")
        << QByteArray::fromHex("7FFFFFFF213300AC") << false << QByteArray("") << false;
    QTest::newRow("length 0xFFFFFFFE")
        << QByteArray::fromHex("FFFFFFFE213300AC") << false << QByteArray("") << false;
    QTest::newRow("sign bit set") << QByteArray::fromHex("80000004213300AC") << false
                                  << QByteArray("") << false;
}

void tst_ShmRecord::decode()
{
    QFETCH(QByteArray, segment);
    QFETCH(bool, whole);
    QFETCH(QByteArray, array);
    QFETCH(bool, null);

    QByteArray read("stale");
    QCOMPARE(ShmRecord::decode(segment.constData(), segment.size(), &read), whole);
    QCOMPARE(read, array);
    QCOMPARE(read.isNull(), null);
    QCOMPARE(ShmRecord::decode(segment), array);
}

void tst_ShmRecord::decodeNeverReadsPastSize()
{
    // A heap block of exactly 'size' bytes, so AddressSanitizer sees any
    // read beyond it.
    const QByteArray full = QByteArray::fromHex("00000004213300AC");
    for (int size = 0; size <= full.size(); ++size) {
        std::unique_ptr<char[]> bytes(new char[size_t(size)]);
        memcpy(bytes.get(), full.constData(), size_t(size));
        QByteArray read;
        const bool whole = ShmRecord::decode(bytes.get(), size, &read);
        QCOMPARE(whole, size == full.size());
        QCOMPARE(read.size(), whole ? 4 : 0);
    }
}

OPA_TEST_CLASS(tst_ShmRecord)
#include "shmrecord.moc"
