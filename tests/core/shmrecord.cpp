#include <QtTest>

#include <cstring>
#include <memory>

#include "shm/shmrecord.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using testsupport::hex;

// The record both segments hold: a 32-bit big-endian length, then the
// bytes; 0xFFFFFFFF for a null array.
class tst_ShmRecord : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("segment");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QByteArray>("array");

        const QByteArray command = hex("213300AC");
        QTest::newRow("command, then leftovers") << hex("00000004213300AC0000") << true << command;
        QTest::newRow("null marker") << hex("FFFFFFFF213300AC") << true << QByteArray();
        QTest::newRow("clear marker") << ShmRecord::clearMarker() << true << QByteArray(1, '\0');
        for (const QByteArray &array : {QByteArray(), QByteArray(""), QByteArray(300, '\x06')})
            QTest::addRow("round trip, %s%d bytes", array.isNull() ? "null, " : "", array.size())
                << ShmRecord::encode(array) << true << array;
        // A malformed record reads as an empty array.
        QTest::newRow("3 bytes") << hex("000000") << false << QByteArray("");
        QTest::newRow("length one past the end") << hex("00000005213300AC") << false << QByteArray("");
        QTest::newRow("huge length") << hex("7FFFFFFF213300AC") << false << QByteArray("");
        QTest::newRow("length 0xFFFFFFFE") << hex("FFFFFFFE213300AC") << false << QByteArray("");
    }

    void decode()
    {
        QFETCH(QByteArray, segment);
        QFETCH(bool, whole);
        QFETCH(QByteArray, array);
        // Exactly the segment's size on the heap, so AddressSanitizer sees a
        // read past its end.
        std::unique_ptr<char[]> bytes(new char[size_t(segment.size())]);
        memcpy(bytes.get(), segment.constData(), size_t(segment.size()));
        QByteArray read("stale");
        QCOMPARE(ShmRecord::decode(bytes.get(), segment.size(), &read), whole);
        QCOMPARE(read, array);
        QCOMPARE(read.isNull(), array.isNull());
    }
};

OPA_TEST_CLASS(tst_ShmRecord)
#include "shmrecord.moc"
