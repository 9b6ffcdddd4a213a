#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QProcess>
#include <QSettings>

#include "app/freeaccelpage.h"
#include "app/mainwindow.h"
#include "meter/freeaccelcsv.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// An operator's series against the simulated engine: F5 on the first page,
// the snaps, then the result on the page and in the results file.
class tst_FreeAccelEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void seriesFromF5EndsWithR24Result();
};

void tst_FreeAccelEndToEnd::seriesFromF5EndsWithR24Result()
{
    testsupport::ScopedWorkDir dir;
    QProcess sim;  // killed when it goes out of scope
    sim.start(QStringLiteral(OPA_SIM_PATH), {"--scenario", "free-accel", "--peaks",
                                             "1.50,1.30,1.22,1.20,1.25", "--period", "3500", "--quiet"});
    QVERIFY(sim.waitForReadyRead(5000));  // its first line: "listening on ..."
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    mainwindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(QTest::qWaitFor([&] { return MainWindowTestAccess(window).serverConnected(); }, 5000));

    auto *page = window.findChild<FreeAccelPage *>();
    QSignalSpy counted(page, &FreeAccelPage::peakCounted);
    QSignalSpy finished(page, &FreeAccelPage::seriesFinished);
    QTest::keyClick(&window, Qt::Key_F5);
    QVERIFY(finished.wait(40000));
    QCOMPARE(page->series().snaps().size(), 5);
    QCOMPARE(counted.size(), 4);
    QVERIFY(page->findChild<QLabel *>(QStringLiteral("freeAccelResult"))->text().contains("1.24"));

    QFile csv(QString::fromLatin1(FreeAccelCsv::DefaultPath));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // the header, the series' line, nothing after its newline
    QCOMPARE(lines.at(0), QByteArray(FreeAccelCsv::Header));
    QCOMPARE(lines.at(1).mid(19), QByteArray(",R24,1.30;1.22;1.20;1.25,1.24,yes,,"));  // after the time
}

OPA_TEST_CLASS(tst_FreeAccelEndToEnd)
#include "freeaccel.moc"
