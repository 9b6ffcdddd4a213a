#include <QtTest>

#include "support/testrunner.h"

#include "net/framecutter.h"

// The cutter on its own, fed byte strings the way reads would deliver them.
class tst_FrameCutter : public QObject
{
    Q_OBJECT

private:
    static QList<QByteArray> cutAll(FrameCutter &cutter)
    {
        QList<QByteArray> frames;
        QByteArray frame;
        while (cutter.next(&frame))
            frames.append(frame);
        return frames;
    }

private slots:
    // Whole reads.
    void cutsReads_data();
    void cutsReads();

    // A two-frame stream split at every possible point still gives both frames.
    void everySplitPoint();
    // Byte by byte, a longer mixed stream.
    void oneByteAtATime();

    // A cutter that allows the length byte's whole range waits for all 259
    // bytes of a frame that promises 255 data bytes.
    void longestFrameWaits();
    void clearDropsPartialFrame();
};

void tst_FrameCutter::cutsReads_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("left");

    const QByteArray reply = QByteArray::fromHex("06330AD2046400"
                                                 "2C01191E000817");
    const QByteArray done = QByteArray::fromHex("063900C1");
    const QByteArray accepted = QByteArray::fromHex("064A00B0");

    QTest::newRow("three bytes: nothing yet") << QByteArray::fromHex("063900")
                                              << QList<QByteArray>{} << QByteArray::fromHex("063900");
    QTest::newRow("one short frame") << done << QList<QByteArray>{done} << QByteArray();
    QTest::newRow("measurement then short reply")
        << reply + accepted << QList<QByteArray>{reply, accepted} << QByteArray();
    QTest::newRow("length 10 but only 10 bytes")
        << reply.left(10) << QList<QByteArray>{} << reply.left(10);
    // 0x06 inside the data of the first frame must not move the cut.
    const QByteArray withStartInData = QByteArray::fromHex("06330A060606060606060606060617");
    QTest::newRow("start byte inside data")
        << withStartInData.left(14) + done
        << QList<QByteArray>{withStartInData.left(14), done} << QByteArray();
    QTest::newRow("garbage before a frame")
        << QByteArray::fromHex("FF0A21") + done << QList<QByteArray>{done} << QByteArray();
    QTest::newRow("garbage only") << QByteArray::fromHex("FF0A2133") << QList<QByteArray>{}
                                  << QByteArray();
    QTest::newRow("frame with bad checksum still cut")
        << QByteArray::fromHex("063900FF") << QList<QByteArray>{QByteArray::fromHex("063900FF")}
        << QByteArray();
    QTest::newRow("frame then a partial one")
        << done + reply.left(5) << QList<QByteArray>{done} << reply.left(5);
}

void tst_FrameCutter::cutsReads()
{
    QFETCH(QByteArray, read);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, left);

    FrameCutter cutter;
    cutter.append(read);
    QCOMPARE(cutAll(cutter), frames);
    QCOMPARE(cutter.buffer(), left);
}

void tst_FrameCutter::everySplitPoint()
{
    const QByteArray first = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray second = QByteArray::fromHex("063900C1");
    const QByteArray stream = first + second;
    for (int split = 0; split <= stream.size(); ++split) {
        FrameCutter cutter;
        cutter.append(stream.left(split));
        QList<QByteArray> frames = cutAll(cutter);
        cutter.append(stream.mid(split));
        frames += cutAll(cutter);
        QCOMPARE(frames, (QList<QByteArray>{first, second}));
        QVERIFY2(cutter.buffer().isEmpty(), qPrintable(QString::number(split)));
    }
}

void tst_FrameCutter::oneByteAtATime()
{
    const QByteArray a = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray b = QByteArray::fromHex("064A00B0");
    const QByteArray c = QByteArray::fromHex("0633020000C5");
    const QByteArray stream = QByteArray::fromHex("00") + a + b + QByteArray::fromHex("1234") + c;
    FrameCutter cutter;
    QList<QByteArray> frames;
    for (char byte : stream) {
        cutter.append(QByteArray(1, byte));
        frames += cutAll(cutter);
    }
    QCOMPARE(frames, (QList<QByteArray>{a, b, c}));
}

void tst_FrameCutter::longestFrameWaits()
{
    QByteArray frame = QByteArray::fromHex("0633FF");
    frame += QByteArray(255, '\x01');
    frame += '\x00';
    QCOMPARE(frame.size(), 259);

    FrameCutter cutter(Frames::MeterStart, Frames::LongestData);
    cutter.append(frame.left(258));
    QVERIFY(cutAll(cutter).isEmpty());
    QCOMPARE(cutter.buffer().size(), 258);
    cutter.append(frame.mid(258) + QByteArray::fromHex("063900C1"));
    QCOMPARE(cutAll(cutter), (QList<QByteArray>{frame, QByteArray::fromHex("063900C1")}));
}

void tst_FrameCutter::clearDropsPartialFrame()
{
    FrameCutter cutter;
    cutter.append(QByteArray::fromHex("06330AD204"));
    cutter.clear();
    cutter.append(QByteArray::fromHex("063900C1"));
    QCOMPARE(cutAll(cutter), (QList<QByteArray>{QByteArray::fromHex("063900C1")}));
}

OPA_TEST_CLASS(tst_FrameCutter)
#include "framing.moc"
