#include <QtTest>

#include "support/testrunner.h"

#include "e2eharness.h"
#include "lane/lanesession.h"

// Ctrl+R on the data page against the simulated meter: one row per reply, in order.
class RecordingEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void ctrlRRecordsEveryReply()
    {
        e2e::Session s;
        // The meter answers these in turn: all shown, K below zero, energy too high.
        QFile replies(QStringLiteral("replies.csv"));
        QVERIFY(replies.open(QIODevice::WriteOnly) && replies.write("1234,100,300,25,30,2048\n-500,5,-1,40,50,100\n250,300,20,26,31,5000\n") > 0
                && replies.flush());
        const QStringList shown{"12.34,1,3,25,30,2048", "-5,0.05,,,,", "2.5,3,0.2,26,31,"};
        QVERIFY(s.start({"--scenario", "file", "replies.csv", "--quiet"}));
        int received = 0;
        LaneSession *session = s.access().session();
        connect(session, &LaneSession::readingTaken, this, [&] { ++received; });
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        const Recorder &recorder = session->recorder();
        QTest::keyClick(s.window.get(), Qt::Key_R, Qt::ControlModifier);
        const int before = received;
        QVERIFY(QTest::qWaitFor([&] { return recorder.rowCount() >= 12; }, 5000));
        QTest::keyClick(s.window.get(), Qt::Key_R, Qt::ControlModifier);

        QFile csv(recorder.fileName());
        QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList rows = QString::fromUtf8(csv.readAll()).trimmed().split('\n');
        QCOMPARE(rows.size(), received - before + 1);
        QCOMPARE(rows.at(0), Recorder::header());
        const int first = shown.indexOf(rows.at(1).section(',', 1));  // the reply of the Ctrl+R
        for (int i = 1; i < rows.size(); ++i)
            QCOMPARE(rows.at(i).section(',', 1), shown.value((first + i - 1) % 3));
    }
};

OPA_TEST_CLASS(RecordingEndToEnd)
#include "recording.moc"
