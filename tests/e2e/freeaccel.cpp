#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>

#include "app/freeaccelpage.h"
#include "e2eharness.h"
#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"

// An operator's series against the simulated engine: F5 on the first page,
// the snaps, then the result on the page and in the results file.
class tst_FreeAccelEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void seriesFromF5EndsWithR24Result()
    {
        e2e::Session s;
        QVERIFY(s.start({"--scenario", "free-accel", "--peaks", "1.50,1.30,1.22,1.20,1.25",
                         "--period", "3500", "--quiet"}));
        QApplication::setActiveWindow(s.window.get());
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));

        LaneSession *session = s.access().session();
        QSignalSpy finished(session, &LaneSession::seriesFinished);
        QTest::keyClick(s.window.get(), Qt::Key_F5);
        // F5 builds the page it starts the series on.
        auto *page = s.window->findChild<FreeAccelPage *>();
        QVERIFY(page && page->isVisible());
        QVERIFY(finished.wait(40000));
        const QVector<int> counted = finished.at(0).at(0).value<SeriesOutcome>().countedIndexes;
        QCOMPARE(session->series().snaps().size(), 5);
        QCOMPARE(counted.size(), 4);
        QVERIFY(page->findChild<QLabel *>(QStringLiteral("freeAccelResult"))->text().contains("1.24"));

        QFile csv(QString::fromLatin1(FreeAccelCsv::DefaultPath));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 3);  // the header, the series' line, nothing after its newline
        QCOMPARE(lines.at(0), QByteArray(FreeAccelCsv::Header));
        QCOMPARE(lines.at(1).mid(19), QByteArray(",R24,1.30;1.22;1.20;1.25,1.24,yes,,"));  // after the time
    }
};

OPA_TEST_CLASS(tst_FreeAccelEndToEnd)
#include "freeaccel.moc"
