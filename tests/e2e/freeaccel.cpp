#include <QtTest>

#include "support/testrunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>

#include "app/freeaccelpage.h"
#include "app/lazytab.h"
#include "e2eharness.h"
#include "lane/freeaccelcsv.h"
#include "lane/lanesession.h"
#include "lane/testarchive.h"

// An operator's series against the simulated engine: a plate typed, F5,
// the snaps, then the result on the page, in the results file and in the
// database as opacimeter-records shows it.
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

        auto *page = static_cast<FreeAccelPage *>(s.window->findChild<LazyTab *>(QStringLiteral("freeAccelTab"))->page());
        page->findChild<QLineEdit *>(QStringLiteral("vehiclePlate"))->setText(QStringLiteral("京A12345"));
        page->findChild<QLineEdit *>(QStringLiteral("vehicleVin"))->setText(QStringLiteral("1M8GDM9AXKP042788"));
        page->findChild<QLineEdit *>(QStringLiteral("vehicleOperator"))->setText(QStringLiteral("王工"));
        page->findChild<QDoubleSpinBox *>(QStringLiteral("vehiclePlateValue"))->setValue(1.20);
        LaneSession *session = s.access().session();
        QSignalSpy finished(session, &LaneSession::seriesFinished);
        QSignalSpy kept(s.window->findChild<TestArchive *>(), &TestArchive::recordKept);
        QTest::keyClick(s.window.get(), Qt::Key_F5);
        QVERIFY(page->isVisible());
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
        QCOMPARE(lines.at(1).mid(19), QByteArray(",R24,1.30;1.22;1.20;1.25,1.24,yes,1.20,不合格"));  // after the time

        QVERIFY(kept.count() || kept.wait(5000));
        QCOMPARE(kept.at(0).at(1).toBool(), true);
        QByteArray shown;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_RECORDS_PATH),
                              {"show", kept.at(0).at(0).toString(), "--json"}, &shown), 0);
        const QJsonObject r = QJsonDocument::fromJson(shown).object();
        QCOMPARE(QStringList({r["plate"].toString(), r["vin"].toString(), r["operator"].toString(),
                              QString::number(r["mean_K"].toDouble()), r["outcome"].toString()}),
                 QStringList({"京A12345", "1M8GDM9AXKP042788", "王工", "1.24", "valid"}));
        QCOMPARE(r["snaps"].toArray().size(), 5);
        QCOMPARE(r["peaks_K"].toArray(), QJsonArray({1.30, 1.22, 1.20, 1.25}));
        QCOMPARE(QStringList({r["limit_source"].toString(), r["verdict"].toString(), r["meter_address"].toString()}),
                 QStringList({"plate", "fail", "127.0.0.1"}));
    }
};

OPA_TEST_CLASS(tst_FreeAccelEndToEnd)
#include "freeaccel.moc"
