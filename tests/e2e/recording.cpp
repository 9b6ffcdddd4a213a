#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QProcess>
#include <QSettings>

#include "app/mainwindow.h"
#include "app/trendpage.h"
#include "meter/recorder.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// Recording against the simulated meter, started and stopped from the keyboard.
class RecordingEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void ctrlRRecordsEveryReply();
};

void RecordingEndToEnd::ctrlRRecordsEveryReply()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.7"); });
    testsupport::ScopedWorkDir dir;
    // The meter repeats these three replies in turn: all shown, K below zero, energy too high.
    QFile replies(QStringLiteral("replies.csv"));
    QVERIFY(replies.open(QIODevice::WriteOnly));
    replies.write("1234,100,300,25,30,2048\n-500,5,-1,40,50,100\n250,300,20,26,31,5000\n");
    replies.close();
    const QStringList shown{"12.34,1,3,25,30,2048", "-5,0.05,,,,", "2.5,3,0.2,26,31,"};
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(OPA_SIM_PATH), {"--scenario", "file", "replies.csv", "--quiet"});
    QVERIFY(QTest::qWaitFor([&] { return sim.peek(4096).contains("listening on"); }, 5000));
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));

    mainwindow w;
    MainWindowTestAccess a(w);
    a.setNoticeDelay(600000);
    int received = 0;
    connect(&w, &mainwindow::measurementReceived, this, [&] { ++received; });
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(QTest::qWaitFor([&] { return received > 0; }, 5000));
    QCOMPARE(a.ui().tabWidget->currentIndex(), 0);

    Recorder *recorder = w.findChild<TrendPage *>()->recorder();
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(recorder->isRecording());
    const int before = received;
    QVERIFY(QTest::qWaitFor([&] { return recorder->rowCount() >= 12; }, 5000));
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(!recorder->isRecording());
    sim.terminate();
    sim.waitForFinished(3000);

    // One row per reply while recording, in the order the meter sent them.
    QFile csv(recorder->fileName());
    QVERIFY(QRegularExpression("^records/\\d{8}-\\d{6}\\.csv$").match(csv.fileName()).hasMatch());
    QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList rows = QString::fromUtf8(csv.readAll()).trimmed().split('\n');
    QCOMPARE(rows.size(), received - before + 1);
    QCOMPARE(rows.at(0), Recorder::header());
    const int first = shown.indexOf(rows.at(1).section(',', 1));
    QVERIFY2(first >= 0, qPrintable(rows.at(1)));
    for (int i = 1; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).section(',', 1), shown.at((first + i - 1) % 3));
        QVERIFY(QDateTime::fromString(rows.at(i).section(',', 0, 0), Qt::ISODateWithMs).isValid());
    }
    const QString status = w.findChild<QLabel *>(QStringLiteral("recordStatus"))->text();
    QVERIFY2(status.contains(QFileInfo(csv).fileName())
             && status.contains(QString::number(rows.size() - 1)), qPrintable(status));
}

OPA_TEST_CLASS(RecordingEndToEnd)
#include "recording.moc"
