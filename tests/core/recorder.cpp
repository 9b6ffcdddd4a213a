#include <QtTest>

#include "support/testrunner.h"

#include "meter/recorder.h"
#include "support/testsupport.h"

using testsupport::ScopedWorkDir;

Q_DECLARE_METATYPE(Measurement::Reading)

namespace {

Measurement::Reading reading(qint16 n, qint16 ns, qint16 k, qint16 energy)
{
    Measurement::Reading r;
    Measurement::decode(testsupport::measurementReply(n, ns, k, 25, 30, energy), &r);
    return r;
}

QList<QByteArray> linesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
}

const QDateTime at(QDate(2026, 12, 6), QTime(8, 9, 10, 42));

} // namespace

class RecorderTest : public QObject
{
    Q_OBJECT

private slots:
    // A row holds what the form shows, and nothing where it shows nothing.
    void row_data();
    void row();
    // Rows reach the disk within a second, without a stop.
    void flushesWhileRecording();
    // A file that cannot be made or written ends the recording with a reason.
    void failure_data();
    void failure();
};

void RecorderTest::row_data()
{
    QTest::addColumn<Measurement::Reading>("reading");
    QTest::addColumn<QString>("values");
    QTest::newRow("everything shown") << reading(1234, 100, 300, 2048) << "12.34,1,3,25,30,2048";
    QTest::newRow("negative N and Ns") << reading(-1000, -5, 0, -1) << "-10,-0.05,0,25,30,-1";
    QTest::newRow("K below zero") << reading(50, 60, -1, 2048) << "0.5,0.6,,,,";
    QTest::newRow("energy at the limit") << reading(1, 2, 3, 4096) << "0.01,0.02,0.03,25,30,4096";
    QTest::newRow("energy above it") << reading(1, 2, 3, 4097) << "0.01,0.02,0.03,25,30,";
}

void RecorderTest::row()
{
    QFETCH(Measurement::Reading, reading);
    QFETCH(QString, values);
    QCOMPARE(Recorder::row(at, reading), "2026-12-06T08:09:10.042," + values);
}

void RecorderTest::flushesWhileRecording()
{
    ScopedWorkDir dir;
    Recorder recorder;
    QVERIFY(recorder.start(Recorder::pathFor(at)));
    QCOMPARE(recorder.fileName(), QStringLiteral("records/20261206-080910.csv"));
    recorder.record(at, reading(1234, 100, 300, 2048));
    recorder.record(at, reading(50, 60, -1, 2048));
    QList<QByteArray> lines;
    QVERIFY(QTest::qWaitFor([&] { return (lines = linesOf(recorder.fileName())).size() == 4; },
                            3000));
    QCOMPARE(lines.value(0), QByteArray("time,N,Ns,K,chamber_C,smoke_C,energy"));
    QCOMPARE(lines.value(2), Recorder::row(at, reading(50, 60, -1, 2048)).toUtf8());
    QSignalSpy stopped(&recorder, &Recorder::stopped);
    recorder.stop();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped.at(0).at(0).toString(), QString());
    QCOMPARE(recorder.rowCount(), 2);
}

void RecorderTest::failure_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("opens");
    QTest::newRow("folder under a plain file") << QStringLiteral("plain/records/a.csv") << false;
    QTest::newRow("disk full") << QStringLiteral("/dev/full") << true;
}

void RecorderTest::failure()
{
    QFETCH(QString, path);
    QFETCH(bool, opens);
    ScopedWorkDir dir;
    QFile plain(QStringLiteral("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    Recorder recorder;
    QSignalSpy stopped(&recorder, &Recorder::stopped);
    QCOMPARE(recorder.start(path), opens);
    if (opens) {
        recorder.record(at, reading(1, 2, 3, 4));
        QVERIFY(stopped.wait(3000));  // the timed flush meets the full disk
        QCOMPARE(stopped.at(0).at(0).toString(), recorder.errorString());
    }
    QVERIFY(!recorder.isRecording());
    QVERIFY(!recorder.errorString().isEmpty());
}

OPA_TEST_CLASS(RecorderTest)
#include "recorder.moc"
