#include <QtTest>

#include "support/testrunner.h"

#include "net/framecutter.h"
#include "shm/shmrecord.h"

// Line noise in front of a reply, and record lengths no array can hold.
class tst_StrayBytes : public QObject
{
    Q_OBJECT

private slots:
    // Reads as they arrive, and the frames the program's cutter makes of them.
    void strayStartByte_data();
    void strayStartByte();
    // Rejected from the header alone: nothing past it is read.
    void recordLongerThanAnArray();
};

void tst_StrayBytes::strayStartByte_data()
{
    using L = QByteArrayList;
    QTest::addColumn<L>("reads");
    QTest::addColumn<L>("frames");
    const QByteArray reply = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray done = QByteArray::fromHex("063900C1");
    QTest::newRow("before a measurement reply") << L{"\x06" + reply + done} << L{reply, done};
    QTest::newRow("before a short reply") << L{"\x06" + done} << L{done};
    QTest::newRow("twice in a row") << L{"\x06" + reply + "\x06" + reply} << L{reply, reply};
    QTest::newRow("at a read boundary") << L{reply + "\x06\x06", done.mid(1)} << L{reply, done};
}

void tst_StrayBytes::strayStartByte()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QByteArrayList, frames);
    FrameCutter cutter;
    QByteArrayList cut;
    QByteArray frame;
    for (const QByteArray &read : reads)
        for (cutter.append(read); cutter.next(&frame);)
            cut << frame;
    QCOMPARE(cut, frames);
}

void tst_StrayBytes::recordLongerThanAnArray()
{
    const qint64 claimedSize = qint64(3) * 1024 * 1024 * 1024;
    QByteArray array;
    for (const char *header : {"80000000", "7FFFFFFF"})
        QVERIFY(!ShmRecord::decode(QByteArray::fromHex(header).constData(), claimedSize, &array));
}

OPA_TEST_CLASS(tst_StrayBytes)
#include "straybytes.moc"
