#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTabWidget>

#include "app/freeaccelpage.h"
#include "app/mainwindow.h"
#include "meter/freeaccelcsv.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// An operator's series against the simulated engine: F5 from the first page,
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
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(OPA_SIM_PATH),
              {"--scenario", "free-accel", "--peaks", "1.50,1.30,1.22,1.20,1.25", "--period",
               "3500", "--quiet"});
    QByteArray simOutput;
    QVERIFY(QTest::qWaitFor([&] { return (simOutput += sim.readAll()).contains("listening on"); },
                            5000));
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));

    mainwindow window;
    MainWindowTestAccess(window).setNoticeDelay(10 * 60 * 1000);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(QTest::qWaitFor([&] { return MainWindowTestAccess(window).serverConnected(); }, 5000));

    auto *page = window.findChild<FreeAccelPage *>();
    QVERIFY(page);
    QSignalSpy counted(page, &FreeAccelPage::peakCounted);
    QSignalSpy finished(page, &FreeAccelPage::seriesFinished);
    QTest::keyClick(&window, Qt::Key_F5);
    QVERIFY(page->series().running());
    QCOMPARE(window.findChild<QTabWidget *>()->currentWidget(), page);

    QVERIFY(finished.wait(40000));
    QCOMPARE(page->series().snaps().size(), 5);
    QCOMPARE(counted.size(), 4);
    QVERIFY(page->findChild<QLabel *>(QStringLiteral("freeAccelResult"))->text().contains("1.24"));

    QFile csv(QString::fromLatin1(FreeAccelCsv::DefaultPath));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // header, the series, the empty rest after the last newline
    QCOMPARE(lines.at(0), QByteArray(FreeAccelCsv::Header));
    QCOMPARE(lines.at(1).mid(lines.at(1).indexOf(',')), QByteArray(",R24,1.30;1.22;1.20;1.25,1.24,yes,,"));
    QVERIFY(QDateTime::fromString(QString::fromLatin1(lines.at(1).left(19)), Qt::ISODate).isValid());

    sim.terminate();
    QVERIFY(sim.waitForFinished(3000));
}

OPA_TEST_CLASS(tst_FreeAccelEndToEnd)
#include "freeaccel.moc"
