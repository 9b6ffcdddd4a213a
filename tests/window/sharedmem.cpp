#include <QtTest>

#include "support/testrunner.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "shm/shmrecord.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace {

const QByteArray Marker = QByteArray::fromHex("0000000100");
const QByteArray ReadMeasurement = QByteArray::fromHex("213300AC");

// The companion's side of both segments, in this process, under the same keys.
class Companion
{
public:
    // Makes the command segment with 'size' bytes holding 'bytes' from its
    // first byte and zeros after them.
    bool place(const QByteArray &bytes, int size = 64)
    {
        if (!cmd.isAttached() && !cmd.create(size)) {
            qWarning() << cmd.errorString();
            return false;
        }
        cmd.lock();
        std::memset(cmd.data(), 0, size_t(cmd.size()));
        std::memcpy(cmd.data(), bytes.constData(), size_t(std::min(cmd.size(), bytes.size())));
        cmd.unlock();
        return true;
    }
    bool placeCommand(const QByteArray &command) { return place(ShmRecord::encode(command)); }

    QByteArray commandSegment()
    {
        cmd.lock();
        const QByteArray bytes(static_cast<const char *>(cmd.constData()), cmd.size());
        cmd.unlock();
        return bytes;
    }

    // The whole data segment as the companion sees it; null when there is none.
    QByteArray dataSegment()
    {
        const bool held = data.isAttached();
        if (!held && !data.attach(QSharedMemory::ReadOnly))
            return QByteArray();
        data.lock();
        const QByteArray bytes(static_cast<const char *>(data.constData()), data.size());
        data.unlock();
        if (!held)
            data.detach();
        return bytes;
    }

    bool holdData() { return data.attach(QSharedMemory::ReadOnly); }
    void releaseData() { data.detach(); }

private:
    QSharedMemory cmd{QStringLiteral("VRKT_516_Shared_cmd")};
    QSharedMemory data{QStringLiteral("VRKT_516_Shared_data")};
};

QByteArrayList sentFrames(const QSignalSpy &spy)
{
    QByteArrayList frames;
    for (const auto &args : spy)
        frames << args.at(0).toByteArray();
    return frames;
}

void expectPublished()
{
    QTest::ignoreMessage(QtDebugMsg, "shared memory has created");
}

} // namespace

// The exchange with a companion process through the two segments, with a
// second set of segment objects in this process playing the companion.
class tst_SharedMem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Short replies, published as they arrive.
    void shortReplies_data();
    void shortReplies();
    void calibrationDonePublishedBeforeItsBox();
    void factoryResetAcceptedPublishedBeforeItIsHandled();

    // Publication requests.
    void requestBeforeAnyMeasurement();
    void requestPublishesLastMeasurement();

    // Commands from the companion.
    void forwardedCommands_data();
    void forwardedCommands();
    void ignoredCommands_data();
    void ignoredCommands();
    void commandActedOnOnce();
    void clearMarkerEveryTick();
    void commandWhilePollingStopped();
    void noCommandSegment();

    // The companion keeping the data segment attached.
    void writesWhileCompanionHoldsSegment();
    void segmentLetGoOnDestruction();

private:
    testsupport::ScopedWorkDir workDir;
};

void tst_SharedMem::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_SharedMem::shortReplies_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("published");

    QTest::newRow("1 byte") << QByteArray::fromHex("06") << true;
    QTest::newRow("4 bytes, other reply") << QByteArray::fromHex("063800C2") << true;
    QTest::newRow("6 bytes") << QByteArray::fromHex("0633020000C5") << true;
    QTest::newRow("9 bytes") << QByteArray::fromHex("0633050102030405AF") << true;
    QTest::newRow("calibration done and one byte more")
        << QByteArray::fromHex("063900C100") << true;
    QTest::newRow("10 bytes") << QByteArray::fromHex("063306010203040506A9") << false;
    QTest::newRow("13 bytes") << QByteArray::fromHex("06330901020304050607080900") << false;
    QTest::newRow("measurement reply")
        << QByteArray::fromHex("06330AD20464002C01191E000817") << false;
    QTest::newRow("15 bytes") << QByteArray::fromHex("06330B0102030405060708090A0B00") << false;
    QTest::newRow("9 bytes, host start byte") << QByteArray::fromHex("2133050102030405AF") << false;
}

void tst_SharedMem::shortReplies()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, published);

    Companion companion;
    testsupport::MessageBoxCloser closer;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);

    if (published)
        expectPublished();
    a.seraildata(frame);

    if (published) {
        QCOMPARE(companion.dataSegment(), ShmRecord::encode(frame));
    } else {
        QVERIFY(companion.dataSegment().isNull());
        QVERIFY(!a.dataSegment()->isAttached());
    }
    // None of these is a reply the calibration handling acts on.
    QCOMPARE(sent.count(), 0);
    QCOMPARE(closer.count(), 0);
    QVERIFY(!a.pollTimer()->isActive());
}

void tst_SharedMem::calibrationDonePublishedBeforeItsBox()
{
    // Also the road of a calibration the companion started with a forwarded
    // "213900A6": the reply is published, then handled as any calibration.
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);

    QString boxText;
    QByteArray publishedWhileBoxOpen;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(top);
            if (box && box->isVisible() && boxText.isEmpty()) {
                boxText = box->text();
                publishedWhileBoxOpen = companion.dataSegment();
                box->done(QMessageBox::Ok);
            }
        }
    });
    watcher.start(5);

    expectPublished();
    a.seraildata(QByteArray::fromHex("063900C1"));
    QCOMPARE(boxText, QStringLiteral("校准完成"));
    QCOMPARE(publishedWhileBoxOpen, QByteArray::fromHex("00000004063900C1"));
    QCOMPARE(companion.dataSegment(), QByteArray::fromHex("00000004063900C1"));
}

void tst_SharedMem::factoryResetAcceptedPublishedBeforeItIsHandled()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);

    QByteArray publishedAtFirstCommand;
    connect(&w, &mainwindow::writecmd, this, [&](const QByteArray &) {
        if (publishedAtFirstCommand.isNull())
            publishedAtFirstCommand = companion.dataSegment();
    });
    QSignalSpy sent(&w, &mainwindow::writecmd);

    expectPublished();
    a.seraildata(QByteArray::fromHex("064A00B0"));
    QCOMPARE(publishedAtFirstCommand, QByteArray::fromHex("00000004064A00B0"));
    QCOMPARE(sentFrames(sent),
             (QByteArrayList{QByteArray::fromHex("213800A7"), QByteArray::fromHex("213900A6")}));
}

void tst_SharedMem::requestBeforeAnyMeasurement()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(companion.placeCommand(ReadMeasurement));

    expectPublished();
    QTest::ignoreMessage(QtDebugMsg, "here5");
    a.loadmem();
    QCOMPARE(companion.dataSegment(), QByteArray::fromHex("FFFFFFFF"));
    QCOMPARE(sent.count(), 0);
    QVERIFY(companion.commandSegment().startsWith(Marker));
}

void tst_SharedMem::requestPublishesLastMeasurement()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);

    a.seraildata(QByteArray::fromHex("06330AD20464002C01191E000817"));
    // The newest reply wins, and goes out as received even though its K is
    // negative and its energy lies above what the form shows.
    a.seraildata(QByteArray::fromHex("06330A10276400FFFF1A1F881355"));
    QVERIFY(companion.dataSegment().isNull());

    QVERIFY(companion.placeCommand(ReadMeasurement));
    expectPublished();
    QTest::ignoreMessage(QtDebugMsg, "here5");
    a.loadmem();

    const QByteArray published = companion.dataSegment();
    QCOMPARE(published, QByteArray::fromHex("0000000E06330A10276400FFFF1A1F881355"));
    QCOMPARE(published.size(), 18);
    // Nothing goes to the meter for a request.
    QCOMPARE(sent.count(), 0);
}

void tst_SharedMem::forwardedCommands_data()
{
    QTest::addColumn<QByteArray>("segment");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("command");

    const QByteArray step2 = QByteArray::fromHex("213900A6");
    QTest::newRow("calibration step 2") << ShmRecord::encode(step2) << 64 << step2;
    QTest::newRow("wrong checksum") << ShmRecord::encode(QByteArray::fromHex("21390000")) << 64
                                    << QByteArray::fromHex("21390000");
    QTest::newRow("code the program never sends")
        << ShmRecord::encode(QByteArray::fromHex("21AB0034")) << 64 << QByteArray::fromHex("21AB0034");
    QTest::newRow("not even a host frame")
        << ShmRecord::encode(QByteArray::fromHex("00000000")) << 64 << QByteArray::fromHex("00000000");
    QTest::newRow("record fills the segment") << ShmRecord::encode(step2) << 8 << step2;
    QTest::newRow("leftovers behind the record")
        << ShmRecord::encode(step2) + QByteArray::fromHex("0000000E06330A") << 64 << step2;
}

void tst_SharedMem::forwardedCommands()
{
    QFETCH(QByteArray, segment);
    QFETCH(int, size);
    QFETCH(QByteArray, command);

    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(companion.place(segment, size));
    const QByteArray before = companion.commandSegment();

    a.loadmem();
    QCOMPARE(sentFrames(sent), QByteArrayList{command});
    // Wiped over its first five bytes only.
    QCOMPARE(companion.commandSegment(), Marker + before.mid(Marker.size()));
    QVERIFY(companion.dataSegment().isNull());
}

void tst_SharedMem::ignoredCommands_data()
{
    QTest::addColumn<QByteArray>("segment");
    QTest::addColumn<int>("size");

    QTest::newRow("factory reset, 5 bytes")
        << ShmRecord::encode(QByteArray::fromHex("214A01A2F2")) << 64;
    QTest::newRow("3 bytes") << ShmRecord::encode(QByteArray::fromHex("213300")) << 64;
    QTest::newRow("empty array") << QByteArray::fromHex("00000000") << 64;
    QTest::newRow("null marker") << QByteArray::fromHex("FFFFFFFF213300AC") << 64;
    QTest::newRow("clear marker") << Marker << 64;
    QTest::newRow("length past the end") << QByteArray::fromHex("00000005213300AC") << 8;
    QTest::newRow("request cut short") << QByteArray::fromHex("00000004213300") << 7;
    QTest::newRow("huge length") << QByteArray::fromHex("7FFFFFFF213300AC") << 64;
    QTest::newRow("length 0xFFFFFFFE") << QByteArray::fromHex("FFFFFFFE213300AC") << 64;
    QTest::newRow("segment of 1 byte") << QByteArray::fromHex("21") << 1;
    QTest::newRow("segment of 2 bytes") << QByteArray::fromHex("2133") << 2;
    QTest::newRow("segment of 3 bytes") << QByteArray::fromHex("000000") << 3;
    QTest::newRow("segment of 4 bytes") << QByteArray::fromHex("00000004") << 4;
}

void tst_SharedMem::ignoredCommands()
{
    QFETCH(QByteArray, segment);
    QFETCH(int, size);

    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(companion.place(segment, size));
    const QByteArray before = companion.commandSegment();
    QCOMPARE(before.size(), size);

    a.loadmem();
    QCOMPARE(sent.count(), 0);
    QVERIFY(companion.dataSegment().isNull());
    // The marker is still written, cut to the segment when it is smaller.
    const int wiped = std::min(size, Marker.size());
    QCOMPARE(companion.commandSegment(), Marker.left(wiped) + before.mid(wiped));
}

void tst_SharedMem::commandActedOnOnce()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(companion.placeCommand(QByteArray::fromHex("21390000")));

    a.loadmem();
    a.loadmem();
    a.loadmem();
    QCOMPARE(sentFrames(sent), QByteArrayList{QByteArray::fromHex("21390000")});
}

void tst_SharedMem::clearMarkerEveryTick()
{
    // No command at all, and a record that is no command either: each tick
    // wipes whatever it finds.
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    QVERIFY(companion.place(QByteArray(), 16));
    a.pollTimer()->start(mainwindow::PollingIntervalMs);

    QVERIFY(QTest::qWaitFor([&] { return companion.commandSegment().startsWith(Marker); }, 5000));
    for (int round = 0; round < 3; ++round) {
        QVERIFY(companion.place(QByteArray(16, '\xAA'), 16));
        QVERIFY(QTest::qWaitFor([&] { return companion.commandSegment().startsWith(Marker); }, 5000));
    }
    a.pollTimer()->stop();
    // Only the polls went out.
    for (const QByteArray &f : sentFrames(sent))
        QCOMPARE(f, ReadMeasurement);
}

void tst_SharedMem::commandWhilePollingStopped()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    const QByteArray record = ShmRecord::encode(QByteArray::fromHex("21390000"));
    QVERIFY(companion.place(record));

    // Nothing reads the segment while polling is stopped.
    QVERIFY(!QTest::qWaitFor([&] { return !sent.isEmpty(); }, 300));
    QVERIFY(companion.commandSegment().startsWith(record));

    a.pollTimer()->start(mainwindow::PollingIntervalMs);
    QVERIFY(QTest::qWaitFor([&] { return sent.count() >= 2; }, 5000));
    a.pollTimer()->stop();
    // The first tick polls the meter, then forwards the waiting command.
    QCOMPARE(sentFrames(sent).mid(0, 2),
             (QByteArrayList{ReadMeasurement, QByteArray::fromHex("21390000")}));
    QVERIFY(companion.commandSegment().startsWith(Marker));
}

void tst_SharedMem::noCommandSegment()
{
    mainwindow w;
    MainWindowTestAccess a(w);
    QSignalSpy sent(&w, &mainwindow::writecmd);
    a.loadmem();
    a.loadmem();
    QCOMPARE(sent.count(), 0);
    QVERIFY(!a.cmdSegment()->isAttached());
    // The program never makes the command segment itself.
    QSharedMemory probe(QStringLiteral("VRKT_516_Shared_cmd"));
    QVERIFY(!probe.attach(QSharedMemory::ReadOnly));
    QVERIFY(!a.dataSegment()->isAttached());
}

void tst_SharedMem::writesWhileCompanionHoldsSegment()
{
    Companion companion;
    mainwindow w;
    MainWindowTestAccess a(w);

    expectPublished();
    a.seraildata(QByteArray::fromHex("0633020000C5"));
    QVERIFY(companion.holdData());
    QCOMPARE(companion.dataSegment().size(), 10);

    // The segment cannot be made anew while the companion holds it, so the
    // smaller record goes into the one that exists.
    expectPublished();
    a.seraildata(QByteArray::fromHex("06"));
    QByteArray seen = companion.dataSegment();
    QCOMPARE(seen.size(), 10);
    QCOMPARE(ShmRecord::decode(seen), QByteArray::fromHex("06"));
    QVERIFY(seen.startsWith(QByteArray::fromHex("0000000106")));

    // So does one of the same size.
    expectPublished();
    a.seraildata(QByteArray::fromHex("063800C2AA00"));
    QCOMPARE(companion.dataSegment(), QByteArray::fromHex("00000006063800C2AA00"));

    // A record too big for it is dropped, and the companion keeps the last one.
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^Unable to create memory segment\\. .+")));
    a.seraildata(QByteArray::fromHex("0633050102030405AF"));
    QCOMPARE(companion.dataSegment(), QByteArray::fromHex("00000006063800C2AA00"));

    // Once the companion lets go, the next write makes a segment of its own size.
    companion.releaseData();
    expectPublished();
    a.seraildata(QByteArray::fromHex("0633050102030405AF"));
    QCOMPARE(companion.dataSegment(), QByteArray::fromHex("000000090633050102030405AF"));
}

void tst_SharedMem::segmentLetGoOnDestruction()
{
    Companion companion;
    {
        mainwindow w;
        MainWindowTestAccess a(w);
        expectPublished();
        a.seraildata(QByteArray::fromHex("06"));
        QCOMPARE(companion.dataSegment(), QByteArray::fromHex("0000000106"));
    }
    QVERIFY(companion.dataSegment().isNull());
}

OPA_TEST_CLASS(tst_SharedMem)
#include "sharedmem.moc"
