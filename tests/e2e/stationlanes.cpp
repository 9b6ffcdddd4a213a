#include <QtTest>

#include <QSettings>

#include <memory>

#include "records/recordfixtures.h"
#include "records/recordstore.h"
#include "support/pgserver.h"
#include "support/testrunner.h"

// Two lanes, each the program in a working folder of its own, forward to
// one station server; the server goes away while records wait and comes
// back, and every record arrives once.
class StationLanesEndToEnd : public QObject
{
    Q_OBJECT

    struct LaneProgram
    {
        QTemporaryDir dir;
        QProcess program;
        QString lane;
        QStringList ids;

        QString database() const { return dir.filePath(QStringLiteral("results/opacimeter.sqlite")); }
        bool store(int count)
        {
            RecordStore store;
            for (int i = 0; i < count && store.open(database()); ++i) {
                TestRecord r = fixtures::record(QStringLiteral("京%1%2").arg(lane.left(1)).arg(ids.size()), ids.size());
                r.lane = lane;
                r.seal();
                if (!store.store(r))
                    return false;
                ids << r.id;
            }
            return store.isOpen();
        }
        // The forwarder has tried and failed since the record was queued.
        bool failedOn(const QString &id)
        {
            fixtures::OtherConnection db(database());
            return !db.value(QStringLiteral("SELECT last_error FROM forward_queue WHERE record_id = '%1'").arg(id))
                        .toString().isEmpty();
        }
    };

    QStringList serverIds(testsupport::PgServer &pg)
    {
        const QString ids = pg.scalar(QStringLiteral("SELECT string_agg(id, ',' ORDER BY id) FROM records"),
                                      QStringLiteral("station")).toString();
        return ids.isEmpty() ? QStringList() : ids.split(QLatin1Char(','));
    }

private slots:
    void everyRecordArrivesOnce()
    {
        const QString missing = testsupport::PgServer::unavailableReason();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        testsupport::PgServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorString()));
        QVERIFY(pg.createDatabase(QStringLiteral("station")));
        LaneProgram lanes[2];
        for (int i = 0; i < 2; ++i) {
            LaneProgram &l = lanes[i];
            l.lane = QStringLiteral("%1号线").arg(i + 1);
            QSettings ini(l.dir.filePath(QStringLiteral("set.ini")), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
            ini.setValue(QStringLiteral("Database/ServerHost"), pg.socketDir());
            ini.setValue(QStringLiteral("Database/ServerName"), QStringLiteral("station"));
            ini.setValue(QStringLiteral("Database/ServerUser"), QStringLiteral("lane"));
            ini.sync();
            QVERIFY(l.store(3));
            l.program.setWorkingDirectory(l.dir.path());
            l.program.setStandardOutputFile(QProcess::nullDevice());
            l.program.setStandardErrorFile(QProcess::nullDevice());
            l.program.start(QStringLiteral(OPA_HOST_PATH), QStringList());
            QVERIFY(l.program.waitForStarted());
        }
        const auto all = [&] {
            QStringList ids = lanes[0].ids + lanes[1].ids;
            ids.sort();
            return ids;
        };
        QVERIFY(QTest::qWaitFor([&] { return serverIds(pg) == all(); }, 20000));

        QVERIFY2(pg.stop(), qPrintable(pg.errorString()));
        for (LaneProgram &l : lanes)
            QVERIFY(l.store(4));
        // The reason is noted beside the first record waiting.
        QVERIFY(QTest::qWaitFor([&] { return lanes[0].failedOn(lanes[0].ids.at(3)) && lanes[1].failedOn(lanes[1].ids.at(3)); },
                                20000));
        QVERIFY2(pg.start(), qPrintable(pg.errorString()));
        QVERIFY(QTest::qWaitFor([&] { return serverIds(pg).size() >= all().size(); }, 30000));
        QCOMPARE(serverIds(pg), all());  // each once: no more, no fewer

        QProcess tool;
        tool.start(QStringLiteral(OPA_RECORDS_PATH), {"list", "--server-host", pg.socketDir(), "--server-name", "station",
                                                      "--server-user", "lane"});
        QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 15000));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList listed = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(listed.size(), all().size());
        for (const QString &id : all())
            QCOMPARE(listed.filter(id).size(), 1);
        for (LaneProgram &l : lanes) {
            l.program.terminate();
            QVERIFY(l.program.waitForFinished(15000));
        }
    }
};

OPA_TEST_CLASS(StationLanesEndToEnd)
#include "stationlanes.moc"
