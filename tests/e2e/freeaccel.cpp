#include <QtTest>

#include "support/testrunner.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>

#include "app/freeaccelpage.h"
#include "app/lazytab.h"
#include "e2eharness.h"
#include "lane/lanesession.h"
#include "lane/testarchive.h"

// An operator's series against the simulated engine: a plate typed, F5,
// the snaps, then the result on the page and in the database as
// opacimeter-records shows it. The results file is tst_core's and tst_window's.
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
        QSignalSpy finished(s.access().session(), &LaneSession::seriesFinished);
        QSignalSpy kept(s.window->findChild<TestArchive *>(), &TestArchive::recordKept);
        QTest::keyClick(s.window.get(), Qt::Key_F5);
        QVERIFY(page->isVisible());
        QVERIFY(finished.wait(40000));
        QVERIFY(page->findChild<QLabel *>(QStringLiteral("freeAccelResult"))->text().contains("1.24"));

        QVERIFY(kept.count() || kept.wait(5000));
        QCOMPARE(kept.at(0).at(1).toBool(), true);
        QByteArray shown;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_RECORDS_PATH), {"show", kept.at(0).at(0).toString(), "--json"}, &shown), 0);
        const QJsonObject r = QJsonDocument::fromJson(shown).object();
        QCOMPARE(QStringList({r["plate"].toString(), r["vin"].toString(), r["operator"].toString(), QString::number(r["mean_K"].toDouble()),
                              r["outcome"].toString(), r["limit_source"].toString(), r["verdict"].toString(), r["meter_address"].toString()}),
                 QStringList({"京A12345", "1M8GDM9AXKP042788", "王工", "1.24", "valid", "plate", "fail", "127.0.0.1"}));
        QVERIFY(r["snaps"].toArray().size() == 5 && r["peaks_K"].toArray() == QJsonArray({1.30, 1.22, 1.20, 1.25}));
    }
};

OPA_TEST_CLASS(tst_FreeAccelEndToEnd)
#include "freeaccel.moc"
