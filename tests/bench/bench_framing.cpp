#include <QtTest>

#include <QRandomGenerator>

#include "net/framecutter.h"

// Figures for the receive path: how fast the cutter takes a stream apart when
// it arrives in reads of various sizes. Printed, never asserted.
class bench_Framing : public QObject
{
    Q_OBJECT

private slots:
    void cut_data();
    void cut();
};

void bench_Framing::cut_data()
{
    QTest::addColumn<int>("readSize");
    QTest::newRow("1 byte reads") << 1;
    QTest::newRow("7 byte reads") << 7;
    QTest::newRow("14 byte reads") << 14;
    QTest::newRow("1460 byte reads") << 1460;
    QTest::newRow("64 KiB reads") << 65536;
}

void bench_Framing::cut()
{
    QFETCH(int, readSize);
    const QByteArray reply = QByteArray::fromHex("06330AD20464002C01191E000817");
    const QByteArray shortReply = QByteArray::fromHex("063900C1");
    QByteArray stream;
    for (int i = 0; i < 10000; ++i)
        stream += (i % 10 == 9) ? shortReply : reply;

    int frames = 0;
    QBENCHMARK {
        FrameCutter cutter;
        QByteArray frame;
        frames = 0;
        for (int at = 0; at < stream.size(); at += readSize) {
            cutter.append(QByteArray::fromRawData(stream.constData() + at,
                                                  qMin(readSize, stream.size() - at)));
            while (cutter.next(&frame))
                ++frames;
        }
    }
    QCOMPARE(frames, 10000);
}

QTEST_APPLESS_MAIN(bench_Framing)
#include "bench_framing.moc"
