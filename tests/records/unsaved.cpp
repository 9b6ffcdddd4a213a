#include <QtTest>

#include <QFile>
#include <QSignalSpy>

#include "support/testrunner.h"

#include "recordfixtures.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"

namespace {

int storedCount(const QString &path)
{
    RecordStore store;
    return store.open(path, RecordStore::Mode::ReadOnly) ? store.query(RecordFilter()).size() : -1;
}

// A database path the store cannot make: its folder is a file.
QString refusingPath(const QTemporaryDir &dir)
{
    QFile blocker(dir.filePath("blocked"));
    blocker.open(QIODevice::WriteOnly);
    return dir.filePath("blocked/opacimeter.sqlite");
}

} // namespace

// The unsaved folder as the write-ahead of every record: on disk before the
// database is tried, there after a kill, taken in at the next start, and a
// changed file refused.
class tst_Unsaved : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); unsaved = dir->filePath("results/unsaved"); }
    void onDiskBeforeTheRefusalReturns();
    void killedAfterRefusalThenTakenIn();
    void fileGoesOnceStored();
    void changedFileRejected_data();
    void changedFileRejected();

private:
    QScopedPointer<QTemporaryDir> dir;
    QString unsaved;
};

void tst_Unsaved::onDiskBeforeTheRefusalReturns()
{
    RecordKeeper keeper(refusingPath(*dir), unsaved);
    const TestRecord record = fixtures::record();
    bool onDisk = false;
    connect(&keeper, &RecordKeeper::recordRefused, this, [&](const QString &id) {
        onDisk = QFile::exists(unsaved + "/" + id + ".json");
    });
    QSignalSpy refused(&keeper, &RecordKeeper::recordRefused);
    keeper.start();
    keeper.keep(record);
    QVERIFY(refused.wait(5000));
    QVERIFY(onDisk);
}

void tst_Unsaved::killedAfterRefusalThenTakenIn()
{
    QProcess peer;
    peer.start(QStringLiteral(KEEPERPEER_PATH), {refusingPath(*dir), unsaved});
    QVERIFY(QTest::qWaitFor([&] { peer.waitForReadyRead(100); return peer.canReadLine(); }, 10000));
    const QString line = QString::fromUtf8(peer.readLine()).trimmed();
    QVERIFY2(line.startsWith("refused "), qPrintable(line));
    peer.kill();  // SIGKILL: no close, no last try
    QVERIFY(peer.waitForFinished(5000));
    const QString id = line.section(' ', 1);
    QVERIFY(QFile::exists(unsaved + "/" + id + ".json"));

    const QString database = dir->filePath("opacimeter.sqlite");
    RecordKeeper next(database, unsaved);
    QSignalSpy stored(&next, &RecordKeeper::recordStored);
    next.start();
    QVERIFY(stored.wait(5000));
    QCOMPARE(stored.first().first().toString(), id);
    QTRY_VERIFY(!QFile::exists(unsaved + "/" + id + ".json"));
    QCOMPARE(storedCount(database), 1);
}

void tst_Unsaved::fileGoesOnceStored()
{
    const QString database = dir->filePath("opacimeter.sqlite");
    RecordKeeper keeper(database, unsaved);
    QSignalSpy stored(&keeper, &RecordKeeper::recordStored);
    keeper.start();
    const TestRecord record = fixtures::record();
    keeper.keep(record);
    QVERIFY(stored.wait(5000));
    QTRY_VERIFY(QDir(unsaved).entryList(QDir::Files).isEmpty());
    QCOMPARE(storedCount(database), 1);
}

void tst_Unsaved::changedFileRejected_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("mean changed") << QByteArray("\"mean_K\": 1.24") << QByteArray("\"mean_K\": 1.14");
    QTest::newRow("hash changed") << QByteArray("\"hash\": \"") << QByteArray("\"hash\": \"0");
    QTest::newRow("cut short") << QByteArray("\"trace\"") << QByteArray("");
}

void tst_Unsaved::changedFileRejected()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const TestRecord record = fixtures::record();
    QVERIFY(QDir().mkpath(unsaved));
    QFile file(unsaved + "/" + record.id + ".json");
    QByteArray content = QJsonDocument(record.toJson()).toJson(QJsonDocument::Indented);
    QVERIFY(content.contains(from));
    if (to.isEmpty())
        content.truncate(content.indexOf(from));
    else
        content.replace(from, to);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    const QString database = dir->filePath("opacimeter.sqlite");
    RecordKeeper keeper(database, unsaved);
    QSignalSpy problems(&keeper, &RecordKeeper::storageProblem);
    keeper.start();
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().first().toString().contains(record.id + ".json"));
    QVERIFY(!QFile::exists(file.fileName()));
    QFile rejected(unsaved + "/rejected/" + record.id + ".json");
    QVERIFY(rejected.open(QIODevice::ReadOnly));
    QCOMPARE(rejected.readAll(), content);
    keeper.close();
    QCOMPARE(storedCount(database), 0);
}

OPA_TEST_CLASS(tst_Unsaved)
#include "unsaved.moc"
