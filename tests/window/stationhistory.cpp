#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>
#include <QLocalServer>

#include <memory>

#include "app/historymodel.h"
#include "app/historypage.h"
#include "app/recorddetail.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "support/recordfixtures.h"
#include "station/forwarder.h"
#include "support/pgserver.h"
#include "support/windowaccess.h"

// "全站" on the history page against a real PostgreSQL 15: another lane's
// records with their lane, read off the window's thread; a server away,
// stopped or never set is said so, and "本机" goes on working.
class tst_StationHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<testsupport::PgServer> pg;
    const QString db = QStringLiteral("station");
    QString ownDb() const { return dir.filePath(QStringLiteral("own.sqlite")); }

    // A page of the lane whose own record is 京A12345, at the tab's size.
    struct Lane
    {
        explicit Lane(const QString &db, const settings::StationServer &server)
            : recordMaker(&session, db), page(&recordMaker, nullptr, server)
        {
            page.resize(595, 380);
            page.show();
        }
        QStringList cells(int column) const { return columnTexts(view(), column); }
        bool shows(const QStringList &plates) const
        {
            return QTest::qWaitFor([&] { return cells(HistoryModel::Plate) == plates; }, 10000);
        }
        QTableView *view() const { return page.findChild<QTableView *>("historyView"); }
        QString status() const { return page.findChild<QLabel *>("historyStatus")->text(); }
        QPushButton *laneOffer() const { return page.findChild<QPushButton *>("historyLaneOffer"); }

        LaneSession session;
        RecordMaker recordMaker;
        HistoryPage page;
    };

private slots:
    void initTestCase()
    {
        if (!testsupport::PgServer::unavailableReason().isEmpty())
            QSKIP(qPrintable(testsupport::PgServer::unavailableReason()));
        pg.reset(new testsupport::PgServer);
        QVERIFY2(pg->start(), qPrintable(pg->errorString()));
        QVERIFY(pg->createDatabase(db));
        // Lane 3's record on the station's server, and one of this lane's own.
        const QString otherDb = dir.filePath(QStringLiteral("other.sqlite"));
        TestRecord other = fixtures::record(QStringLiteral("沪C33333"), 30);
        other.lane = QStringLiteral("3号线");
        other.seal();
        RecordStore store;
        QVERIFY(store.open(otherDb) && store.store(other));
        store.close();
        const station::SyncResult sent = station::syncOnce(otherDb, pg->settings(db));
        QVERIFY2(sent.sent == 1, qPrintable(sent.error));
        QVERIFY(store.open(ownDb()) && store.store(fixtures::record()));
    }
    void cleanup()
    {
        // A test that failed half-way must not leave the next one without a server.
        if (pg && !pg->isRunning())
            QVERIFY2(pg->start(), qPrintable(pg->errorString()));
    }

    // The station's record with its lane, its report and its CSV; the
    // columns, the lane's among them, within the page.
    void listsTheStation()
    {
        Lane lane(ownDb(), pg->settings(db));
        QVERIFY(lane.shows({"京A12345"}));
        QVERIFY(lane.view()->isColumnHidden(HistoryModel::Lane));
        lane.page.findChild<QRadioButton *>("historyStation")->click();
        QVERIFY(lane.shows({"沪C33333"}));
        QVERIFY(lane.page.showsStation() && !lane.view()->isColumnHidden(HistoryModel::Lane));
        QCOMPARE(lane.cells(HistoryModel::Lane), QStringList{"3号线"});
        QCOMPARE(lane.status(), QStringLiteral("全站 1 条记录"));
        QCoreApplication::processEvents();
        QVERIFY(lane.view()->horizontalHeader()->length() <= lane.view()->viewport()->width());

        lane.page.openRecord(0);
        RecordDetail *detail = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (detail = lane.page.findChild<RecordDetail *>()); }, 5000));
        QVERIFY2(detail->text().contains("沪C33333"), qPrintable(detail->text()));
        QSignalSpy exported(&lane.page, &HistoryPage::exported);
        const QString csv = dir.filePath(QStringLiteral("station.csv"));
        lane.page.exportCsv(csv);
        QVERIFY(exported.wait(10000));
        QCOMPARE(exported.at(0).at(1).toString(), QString());
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("沪C33333") && text.contains("3号线") && !text.contains("京A12345"), qPrintable(text));
    }

    // The server stopped, none set, or one that takes the connection and
    // never answers: the window goes on meanwhile, and the page says why
    // there is no list and offers "本机", which still works; the server back,
    // "全站" lists again.
    void serverNotThere_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("said");
        QTest::newRow("stopped") << "stopped" << "站端数据库无法访问：";
        QTest::newRow("none set") << "none" << "未设置站端数据库，无法查看全站记录（设置 → 数据库）";
        QTest::newRow("never answers") << "silent" << "站端数据库无法访问：";
    }
    void serverNotThere()
    {
        QFETCH(QString, server); QFETCH(QString, said);
        QTemporaryDir socketDir;
        QLocalServer mute;
        settings::StationServer where = server == QLatin1String("stopped") ? pg->settings(db) : settings::StationServer();
        if (server == QLatin1String("silent")) {
            QVERIFY(mute.listen(socketDir.filePath(QStringLiteral(".s.PGSQL.5432"))));
            where = {socketDir.path(), 5432, db, QStringLiteral("lane"), QString(), QString()};
        }
        Lane lane(ownDb(), where);
        QVERIFY(lane.shows({"京A12345"}));
        if (server == QLatin1String("stopped")) {
            lane.page.showStation(true);
            QVERIFY(lane.shows({"沪C33333"}) && !lane.laneOffer()->isVisible());
            QVERIFY2(pg->stop(), qPrintable(pg->errorString()));
        }
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(20);
        QElapsedTimer took;
        took.start();
        server == QLatin1String("stopped") ? lane.page.refresh() : lane.page.showStation(true);
        QVERIFY(!lane.status().startsWith(said));  // the answer comes later, not in the call
        QVERIFY(QTest::qWaitFor([&] { return lane.status().startsWith(said); }, 15000));
        if (server == QLatin1String("silent"))  // libpq waited its connect time-out while the window ticked on
            QVERIFY2(took.elapsed() >= 2000 && ticks >= 50, qPrintable(QString::number(ticks)));
        QVERIFY(lane.cells(HistoryModel::Plate).isEmpty() && lane.laneOffer()->isVisible());
        lane.laneOffer()->click();
        QVERIFY(lane.shows({"京A12345"}));
        QVERIFY(!lane.page.showsStation() && lane.page.findChild<QRadioButton *>("historyLane")->isChecked());
        QVERIFY(lane.status() == QStringLiteral("1 条记录") && !lane.laneOffer()->isVisible());
        if (server == QLatin1String("stopped")) {
            QVERIFY2(pg->start(), qPrintable(pg->errorString()));
            lane.page.showStation(true);
            QVERIFY(lane.shows({"沪C33333"}));
        }
    }
};

OPA_TEST_CLASS(tst_StationHistory)
#include "stationhistory.moc"
