#include <QtTest>

#include <csignal>
#include <cstring>

#include "shm/recordtext.h"
#include "shm/segments.h"
#include "shm/shmrecord.h"
#include "support/testsupport.h"

namespace {

const QString DataKey = QString::fromLatin1(ShmRecord::DataSegmentKey);
const QString CmdKey = QString::fromLatin1(ShmRecord::CommandSegmentKey);

using testsupport::hex;

QByteArray reference()
{
    return hex("06330AD20464002C01191E000817");
}

// A measurement reply whose N is 'n' hundredths, the rest as in reference().
QByteArray measurementWithN(qint16 n)
{
    QByteArray frame = reference();
    frame[3] = char(quint16(n) & 0xFF);
    frame[4] = char(quint16(n) >> 8);
    frame[13] = 0;
    unsigned sum = 0;
    for (char c : frame)
        sum += static_cast<unsigned char>(c);
    frame[13] = char((0x100 - (sum & 0xFF)) & 0xFF);
    return frame;
}

} // namespace

// Plays the program's side of the segments, written from the contract
// rather than from the program: on every tick it reads the command
// segment and writes the clear marker over it, and answers a publication
// request by writing its last measurement frame into the data segment.
class HostStandIn : public QObject
{
public:
    HostStandIn() : data(DataKey), cmd(CmdKey)
    {
        connect(&timer, &QTimer::timeout, this, &HostStandIn::tick);
    }
    ~HostStandIn() override
    {
        cmd.detach();
        data.detach();
    }

    void start(int intervalMs = 100) { timer.start(intervalMs); }
    void stop() { timer.stop(); }

    // The data segment made anew with exactly these bytes, as the program does.
    bool writeData(const QByteArray &bytes)
    {
        if (data.isAttached())
            data.detach();
        if (!data.create(bytes.size()))
            return false;
        data.lock();
        std::memcpy(data.data(), bytes.constData(), size_t(bytes.size()));
        data.unlock();
        return true;
    }

    QByteArray lastMeasurement;   // null until set: published as the null array
    QList<QByteArray> commands;   // every 4-byte command that was not a request
    QList<QByteArray> ignored;    // arrays of other lengths
    int requests = 0;
    // When set, each answered request publishes a measurement with N one higher.
    bool counting = false;

private:
    void tick()
    {
        if (!cmd.attach())
            return;
        cmd.lock();
        const QByteArray segment(static_cast<const char *>(cmd.constData()), cmd.size());
        const QByteArray &marker = ShmRecord::clearMarker();
        std::memcpy(cmd.data(), marker.constData(), size_t(qMin(cmd.size(), marker.size())));
        cmd.unlock();
        cmd.detach();

        const QByteArray command = ShmRecord::decode(segment);
        if (command.size() != 4) {
            if (command.size() > 1)
                ignored.append(command);
            return;
        }
        if (command == hex("213300AC")) {
            ++requests;
            if (counting)
                lastMeasurement = measurementWithN(qint16(requests));
            writeData(ShmRecord::encode(lastMeasurement));
        } else {
            commands.append(command);
        }
    }

    QSharedMemory data;
    QSharedMemory cmd;
    QTimer timer;
};

// opacimeter-shm against a stand-in for the program: the record forms it
// reads and writes, and that it never leaves a segment lock held.
class tst_ShmTool : public QObject
{
    Q_OBJECT

private:
    static QString program() { return QStringLiteral(OPA_SHM_BINARY); }

    static bool segmentExists(const QString &key)
    {
        QSharedMemory probe(key);
        const bool attached = probe.attach(QSharedMemory::ReadOnly);
        probe.detach();
        return attached;
    }

    // Takes and gives back the key's lock from a process of its own, so that
    // a lock left held makes the probe hang and be killed instead of this test.
    static bool lockIsFree(const QString &key, int timeoutMs = 10000)
    {
        QProcess probe;
        probe.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--probe-lock"), key});
        if (!probe.waitForFinished(timeoutMs)) {
            probe.kill();
            probe.waitForFinished();
            return false;
        }
        return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }

    // Runs the tool to its end while this process's event loop (and so the
    // stand-in) keeps running.
    static bool run(QProcess &tool, const QStringList &arguments, int timeoutMs = 20000)
    {
        tool.start(program(), arguments);
        if (!tool.waitForStarted())
            return false;
        return QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, timeoutMs);
    }

    static bool waitForOutput(QProcess &tool, QByteArray &seen, const QByteArray &text)
    {
        return QTest::qWaitFor([&] {
            seen += tool.readAllStandardOutput();
            return seen.contains(text);
        }, 10000);
    }

private slots:
    void cleanup();
    void lockProbeSeesAHeldLock();

    // What `read` prints for each kind of record.
    void describeRecord_data();
    void describeRecord();
    void csvForm();

    // send
    void sendIsTakenByTheProgram_data();
    void sendIsTakenByTheProgram();
    void sendGivesUpWhenNobodyTakesIt();
    void sendWritesIntoAnExistingSegment();
    void signalDuringSendLeavesNoLockHeld_data();
    void signalDuringSendLeavesNoLockHeld();

    // read
    void readPrintsTheDataSegment_data();
    void readPrintsTheDataSegment();
    void readShowsTheMeasurementAfterARequest();

    // log
    void logWritesOneLinePerAnswer();
    void logWaitsForAFirstMeasurement();
    void signalDuringLogLeavesNoLockHeld();

    // Command line
    void badArgumentsExitWithStatusTwo();
};

void tst_ShmTool::cleanup()
{
    // A failed test must not leave a segment for the next one.
    for (const QString &key : {DataKey, CmdKey}) {
        QSharedMemory leftover(key);
        if (leftover.attach())
            leftover.detach();
    }
}

void tst_ShmTool::lockProbeSeesAHeldLock()
{
    // Without this the checks below could pass with any probe.
    QSharedMemory held(CmdKey);
    QVERIFY(held.create(8));
    QVERIFY(held.lock());
    QVERIFY(!lockIsFree(CmdKey, 2000));
    held.unlock();
    QVERIFY(lockIsFree(CmdKey));
    held.detach();
}

void tst_ShmTool::describeRecord_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("array");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");

    QTest::newRow("no segment") << int(DataReading::NoSegment) << QByteArray()
                                << "no data segment: the program is not running or has published nothing yet"
                                << 1;
    QTest::newRow("null") << int(DataReading::Record) << QByteArray() << "null" << 0;
    QTest::newRow("empty") << int(DataReading::Record) << QByteArray("") << "empty" << 0;
    QTest::newRow("measurement") << int(DataReading::Record) << reference()
        << "measurement N=12.34 Ns=1 K=3 chamber=25 smoke=30 energy=2048 hex=06330AD20464002C01191E000817"
        << 0;
    // Published as received, so shown even where the program's form would not.
    QTest::newRow("negative K, energy over the limit") << int(DataReading::Record)
        << hex("06330A18FCFFFFFFFFFF00011000")
        << "measurement N=-10 Ns=-0.01 K=-0.01 chamber=255 smoke=0 energy=4097 hex=06330A18FCFFFFFFFFFF00011000"
        << 0;
    QTest::newRow("calibration done") << int(DataReading::Record) << hex("063900C1")
                                      << "reply 063900C1" << 0;
    QTest::newRow("9-byte reply") << int(DataReading::Record) << hex("063305010203040500")
                                  << "reply 063305010203040500" << 0;
    QTest::newRow("10 bytes") << int(DataReading::Record) << hex("06330601020304050600")
                              << "record 06330601020304050600" << 0;
    QTest::newRow("not a reply") << int(DataReading::Record) << hex("213300AC")
                                 << "record 213300AC" << 0;
}

void tst_ShmTool::describeRecord()
{
    QFETCH(int, state);
    QFETCH(QByteArray, array);
    QFETCH(QString, text);
    QFETCH(int, status);
    DataReading reading;
    reading.state = DataReading::State(state);
    reading.array = array;
    QCOMPARE(RecordText::describe(reading), text);
    QCOMPARE(RecordText::exitStatus(reading), status);
}

void tst_ShmTool::csvForm()
{
    const QDateTime when(QDate(2024, 5, 1), QTime(12, 34, 56, 7));
    Measurement::Reading r;
    QVERIFY(Measurement::decode(hex("06330A18FC6400FFFFFF00011000"), &r));
    QCOMPARE(RecordText::csvHeader(), QStringLiteral("time,N,Ns,K,chamber,smoke,energy"));
    QCOMPARE(RecordText::csvLine(when, r),
             QStringLiteral("2024-05-01T12:34:56.007,-10,1,-0.01,255,0,4097"));
}

void tst_ShmTool::sendIsTakenByTheProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QByteArrayList>("forwarded");
    QTest::addColumn<QByteArrayList>("ignored");
    QTest::addColumn<bool>("sizeNote");

    QTest::newRow("publication request") << QStringList{"213300AC"} << 1 << QByteArrayList{}
                                         << QByteArrayList{} << false;
    QTest::newRow("command for the meter") << QStringList{"21", "39", "00", "A6"} << 0
                                           << QByteArrayList{hex("213900A6")}
                                           << QByteArrayList{} << false;
    QTest::newRow("5 bytes: wiped, not acted on") << QStringList{"214A01A2F2"} << 0
                                                  << QByteArrayList{}
                                                  << QByteArrayList{hex("214A01A2F2")} << true;
}

void tst_ShmTool::sendIsTakenByTheProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, requests);
    QFETCH(QByteArrayList, forwarded);
    QFETCH(QByteArrayList, ignored);
    QFETCH(bool, sizeNote);

    HostStandIn host;
    host.start();
    QProcess tool;
    QVERIFY(run(tool, QStringList{"send"} + arguments));
    const QByteArray out = tool.readAllStandardOutput();
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(out.contains("\ntaken: the program wiped the command after "), out.constData());
    QCOMPARE(out.contains("acts on 4-byte commands only"), sizeNote);
    QCOMPARE(host.requests, requests);
    QCOMPARE(host.commands, forwarded);
    QCOMPARE(host.ignored, ignored);
    // The tool lets go of the segment once the command is taken.
    QVERIFY(!segmentExists(CmdKey));
}

void tst_ShmTool::sendGivesUpWhenNobodyTakesIt()
{
    QProcess tool;
    QVERIFY(run(tool, {"send", "213300AC", "--timeout", "300"}));
    QCOMPARE(tool.exitCode(), 1);
    const QByteArray out = tool.readAllStandardOutput();
    QVERIFY2(out.contains("placed 213300AC in VRKT_516_Shared_cmd; waiting up to 300 ms"),
             out.constData());
    QVERIFY2(out.contains("not taken within 300 ms"), out.constData());
    QVERIFY(!segmentExists(CmdKey));
}

void tst_ShmTool::sendWritesIntoAnExistingSegment()
{
    // A segment left by another companion, larger than the record and full
    // of old bytes: the record goes at its start and the rest is cleared.
    QSharedMemory old(CmdKey);
    QVERIFY(old.create(64));
    old.lock();
    std::memset(old.data(), 0x5A, 64);
    old.unlock();

    QProcess tool;
    tool.start(program(), {"send", "21AB0034", "--timeout", "10000"});
    QByteArray out;
    QVERIFY2(waitForOutput(tool, out, "placed 21AB0034"), out.constData());
    QVERIFY(out.contains("note: VRKT_516_Shared_cmd already existed"));
    old.lock();
    const QByteArray segment(static_cast<const char *>(old.constData()), old.size());
    old.unlock();
    QCOMPARE(segment, ShmRecord::encode(hex("21AB0034")) + QByteArray(64 - 8, '\0'));

    HostStandIn host;
    host.start();
    QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(host.commands, QByteArrayList{hex("21AB0034")});
    old.detach();
}

void tst_ShmTool::signalDuringSendLeavesNoLockHeld_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_ShmTool::signalDuringSendLeavesNoLockHeld()
{
    QFETCH(int, signalNumber);
    QProcess tool;
    tool.start(program(), {"send", "213300AC", "--timeout", "60000"});
    QByteArray out;
    QVERIFY2(waitForOutput(tool, out, "placed 213300AC"), out.constData());
    // The tool takes the lock every few milliseconds while it waits; the
    // signal lands wherever it lands.
    ::kill(pid_t(tool.processId()), signalNumber);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 1);
    out += tool.readAllStandardOutput();
    QVERIFY2(out.contains("interrupted: the command was withdrawn"), out.constData());
    QVERIFY(!segmentExists(CmdKey));
    QVERIFY(lockIsFree(CmdKey));
}

void tst_ShmTool::readPrintsTheDataSegment_data()
{
    QTest::addColumn<QByteArray>("segment");  // empty: no segment
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("status");

    QTest::newRow("no segment") << QByteArray() << QByteArray("no data segment") << 1;
    QTest::newRow("null array") << hex("FFFFFFFF") << QByteArray("null\n") << 0;
    QTest::newRow("measurement") << ShmRecord::encode(reference())
        << QByteArray("measurement N=12.34 Ns=1 K=3 chamber=25 smoke=30 energy=2048 "
                      "hex=06330AD20464002C01191E000817\n") << 0;
    QTest::newRow("short reply") << hex("00000004063900C1") << QByteArray("reply 063900C1\n") << 0;
    // The platform may hand out a larger segment than asked for.
    QTest::newRow("record in a larger segment") << hex("00000004064A00B0") + QByteArray(24, '\x7f')
                                                << QByteArray("reply 064A00B0\n") << 0;
    QTest::newRow("length past the end") << hex("0000000E06330A")
        << QByteArray("malformed record: length 14 does not fit a segment of 7 bytes\n") << 1;
    QTest::newRow("shorter than a length") << hex("0000")
        << QByteArray("malformed record: length 0 does not fit a segment of 2 bytes\n") << 1;
}

void tst_ShmTool::readPrintsTheDataSegment()
{
    QFETCH(QByteArray, segment);
    QFETCH(QByteArray, line);
    QFETCH(int, status);

    HostStandIn host;
    if (!segment.isEmpty())
        QVERIFY(host.writeData(segment));
    QProcess tool;
    QVERIFY(run(tool, {"read"}));
    QCOMPARE(tool.exitCode(), status);
    const QByteArray out = tool.readAllStandardOutput();
    QVERIFY2(out.startsWith(line), out.constData());
    QVERIFY(lockIsFree(DataKey));
}

void tst_ShmTool::readShowsTheMeasurementAfterARequest()
{
    HostStandIn host;
    host.lastMeasurement = measurementWithN(-5);
    QVERIFY(host.writeData(ShmRecord::encode(hex("063800C2"))));
    host.start();

    QProcess read;
    QVERIFY(run(read, {"read"}));
    QVERIFY(read.readAllStandardOutput().startsWith("reply 063800C2\n"));

    QProcess send;
    QVERIFY(run(send, {"send", "213300AC"}));
    QCOMPARE(send.exitCode(), 0);
    QVERIFY(run(read, {"read"}));
    const QByteArray out = read.readAllStandardOutput();
    QVERIFY2(out.startsWith("measurement N=-0.05 Ns=1 K=3 "), out.constData());
    QVERIFY(out.contains("hex=" + measurementWithN(-5).toHex().toUpper()));
}

void tst_ShmTool::logWritesOneLinePerAnswer()
{
    HostStandIn host;
    host.counting = true;
    host.start();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));

    QProcess tool;
    QVERIFY(run(tool, {"log", "--rate", "20", "--count", "4", "--csv", path}));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(tool.readAllStandardError().contains("logged 4 measurements to " + path.toUtf8()));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 6);  // header, four lines, and the empty rest after the last newline
    QCOMPARE(lines.at(0), QByteArray("time,N,Ns,K,chamber,smoke,energy"));
    QVERIFY(lines.at(5).isEmpty());
    double previousN = 0;
    for (int i = 1; i <= 4; ++i) {
        const QList<QByteArray> fields = lines.at(i).split(',');
        QCOMPARE(fields.size(), 7);
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(fields.at(0)),
                                                     Qt::ISODateWithMs);
        QVERIFY2(when.isValid(), fields.at(0).constData());
        QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 600);
        // Each line answers a request of its own, so N grows line by line.
        const double n = fields.at(1).toDouble();
        QVERIFY2(n > previousN, lines.at(i).constData());
        previousN = n;
        QCOMPARE(fields.mid(2), (QList<QByteArray>{"1", "3", "25", "30", "2048"}));
    }
    QVERIFY(host.requests >= 4);
    QVERIFY(!segmentExists(CmdKey));
}

void tst_ShmTool::logWaitsForAFirstMeasurement()
{
    // Until the program has a measurement, it publishes the null array.
    HostStandIn host;
    host.start();
    QProcess tool;
    tool.start(program(), {"log", "--count", "1"});
    QVERIFY(QTest::qWaitFor([&] {
        return tool.readAllStandardError().contains("no measurement in the data segment yet: null");
    }, 10000));
    host.lastMeasurement = reference();
    QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(tool.exitCode(), 0);
    const QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QByteArray("time,N,Ns,K,chamber,smoke,energy"));
    QVERIFY2(lines.at(1).endsWith(",12.34,1,3,25,30,2048"), lines.at(1).constData());
}

void tst_ShmTool::signalDuringLogLeavesNoLockHeld()
{
    HostStandIn host;
    host.counting = true;
    host.start(20);
    QProcess tool;
    tool.start(program(), {"log", "--rate", "50"});
    QByteArray out;
    QVERIFY(QTest::qWaitFor([&] {
        out += tool.readAllStandardOutput();
        return out.count('\n') >= 4;
    }, 10000));
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    out += tool.readAllStandardOutput();
    QVERIFY2(out.endsWith('\n'), out.constData());
    host.stop();
    QVERIFY(!segmentExists(CmdKey));
    QVERIFY(lockIsFree(CmdKey));
    QVERIFY(lockIsFree(DataKey));
}

void tst_ShmTool::badArgumentsExitWithStatusTwo()
{
    QProcess tool;
    QVERIFY(run(tool, {"send", "21330"}));
    QCOMPARE(tool.exitCode(), 2);
    QCOMPARE(tool.readAllStandardError(),
             QByteArray("opacimeter-shm: send: '21330' has an odd number of hex digits\n"));
    QVERIFY(!segmentExists(CmdKey));

    QVERIFY(run(tool, {"status"}));
    QCOMPARE(tool.exitCode(), 2);
    QVERIFY(tool.readAllStandardError().startsWith("opacimeter-shm: unknown command 'status'"));
}

// The lock probe runs as a process of its own: "--probe-lock KEY" takes and
// gives back that key's lock and exits.
int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--probe-lock") == 0) {
        // Qt sets up the lock only when a segment is attached or made; both
        // steps take the lock themselves, so a held lock hangs them too.
        QSharedMemory memory(QString::fromLatin1(argv[2]));
        if (!memory.attach() && !memory.create(1))
            return 4;
        if (!memory.lock())
            return 3;
        memory.unlock();
        memory.detach();
        return 0;
    }
    QCoreApplication app(argc, argv);
    tst_ShmTool test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shmtool.moc"
