#include <QtTest>

#include <sys/mount.h>
#include <sched.h>

#include "support/testrunner.h"

#include "support/recordfixtures.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"
#include "support/testsupport.h"

namespace {

int storedCount(const QString &path)
{
    RecordStore store;
    return store.open(path, RecordStore::Mode::ReadOnly) ? store.query(RecordFilter()).size() : -1;
}

// A folder on a small filesystem, in a mount namespace of this process's
// own; false where the machine does not allow it.
bool smallFilesystem(const QString &folder)
{
    static bool unshared = unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return unshared && QDir().mkpath(folder) && mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=160k") == 0;
}

// A database path the store cannot make: its folder is a file.
QString refusingPath(const QTemporaryDir &dir)
{
    testsupport::writeFile(dir.filePath("blocked"), {});
    return dir.filePath("blocked/opacimeter.sqlite");
}

} // namespace

// The database refusing a record, and the keeper seeing that none is lost:
// the unsaved folder is the write-ahead of every record, on disk before the
// database is tried, there after a kill, taken in at the next start, and a
// changed file refused.
class tst_StoreFaults : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); path = dir->filePath("opacimeter.sqlite"); unsaved = dir->filePath("results/unsaved"); }

    void diskFull()
    {
        const QString folder = dir->filePath("small");
        if (!smallFilesystem(folder))
            QSKIP("cannot mount a small filesystem here");
        const QString path = folder + "/opacimeter.sqlite";
        RecordStore store;
        QVERIFY(store.open(path));
        int stored = 0;
        while (stored < 100 && store.store(fixtures::record("京A1", stored, {1.5, 1.3, 1.22, 1.2, 1.25}, 60)))
            ++stored;
        QVERIFY(stored < 100);
        QCOMPARE(store.fault(), RecordStore::Fault::DiskFull);
        QVERIFY(store.errorString().startsWith(QStringLiteral("磁盘已满")));
        store.close();
        // What was stored before the disk filled is whole.
        QCOMPARE(storedCount(path), stored);
        umount(QFile::encodeName(folder).constData());
    }

    // Locked before the program could even make its tables: the keeper tries
    // again until the record is in. Still locked at close, what it holds goes
    // into the unsaved folder, for the next start to take in as after a kill.
    void keeperRetriesThenLeavesUnsaved()
    {
        const TestRecord first = fixtures::record("京A1"), second = fixtures::record("京A2", 5);
        auto other = std::make_unique<fixtures::OtherConnection>(path);
        QVERIFY(other->lockExclusively());
        {
            RecordKeeper keeper(path, unsaved);
            keeper.setRetryInterval(200);
            QSignalSpy refused(&keeper, &RecordKeeper::recordRefused);
            QSignalSpy stored(&keeper, &RecordKeeper::recordStored);
            keeper.start();
            keeper.keep(first);
            QVERIFY(refused.wait(10000));
            QVERIFY(keeper.pendingCount() == 1 && keeper.problem().contains(QStringLiteral("锁定")));
            other.reset();
            QVERIFY(QTest::qWaitFor([&] { return stored.count() == 1; }, 10000));
            QCOMPARE(stored.first().first().toString(), first.id);
            QVERIFY(keeper.pendingCount() == 0 && keeper.problem().isEmpty());

            other = std::make_unique<fixtures::OtherConnection>(path);
            QVERIFY(other->holdWriteLock());
            keeper.keep(second);
            QVERIFY(QTest::qWaitFor([&] { return refused.count() == 2; }, 15000));
            QVERIFY(keeper.problem().contains(QStringLiteral("锁定")));
            QVERIFY(keeper.close());
        }
        other.reset();
        QCOMPARE(QDir(unsaved).entryList({"*.json"}), QStringList{second.id + ".json"});
        QCOMPARE(storedCount(path), 1);
    }

    // The damaged file is kept, whole, beside the new database.
    void keeperMovesCorruptFileAside()
    {
        const QByteArray junk = QByteArray("no database at all ").repeated(500);
        QVERIFY(testsupport::writeFile(path, junk));
        RecordKeeper keeper(path, unsaved);
        QSignalSpy replaced(&keeper, &RecordKeeper::databaseReplaced);
        QSignalSpy stored(&keeper, &RecordKeeper::recordStored);
        keeper.start();
        keeper.keep(fixtures::record());
        QVERIFY(stored.wait(10000));
        QCOMPARE(replaced.count(), 1);
        QVERIFY(replaced.first().at(1).toString().startsWith(QStringLiteral("数据库文件已损坏，已移至")));
        const QString aside = replaced.first().at(0).toString();
        QVERIFY2(QRegularExpression(R"(opacimeter\.sqlite\.corrupt-\d{8}-\d{6}$)").match(aside).hasMatch(), qPrintable(aside));
        QFile kept(aside);
        QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == junk);
        QVERIFY(keeper.close());
        QCOMPARE(storedCount(path), 1);
    }

    // The record is in the unsaved folder before the refusal is told (the
    // peer says so), and there after a kill; the next start takes it in.
    void killedAfterRefusalThenTakenIn()
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

        RecordKeeper next(path, unsaved);
        QSignalSpy stored(&next, &RecordKeeper::recordStored);
        next.start();
        QVERIFY(stored.wait(5000));
        QCOMPARE(stored.first().first().toString(), id);
        QTRY_VERIFY(!QFile::exists(unsaved + "/" + id + ".json"));
        QCOMPARE(storedCount(path), 1);
    }

    void changedFileRejected_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("mean changed") << QByteArray("\"mean_K\": 1.24") << QByteArray("\"mean_K\": 1.14");
        QTest::newRow("hash changed") << QByteArray("\"hash\": \"") << QByteArray("\"hash\": \"0");
        QTest::newRow("cut short") << QByteArray("\"trace\"") << QByteArray("");
    }
    void changedFileRejected()
    {
        QFETCH(QByteArray, from); QFETCH(QByteArray, to);
        const TestRecord record = fixtures::record();
        QVERIFY(QDir().mkpath(unsaved));
        QFile file(unsaved + "/" + record.id + ".json");
        QByteArray content = QJsonDocument(record.toJson()).toJson(QJsonDocument::Indented);
        QVERIFY(content.contains(from));
        if (to.isEmpty())
            content.truncate(content.indexOf(from));
        else
            content.replace(from, to);
        QVERIFY(testsupport::writeFile(file.fileName(), content));

        RecordKeeper keeper(path, unsaved);
        QSignalSpy problems(&keeper, &RecordKeeper::storageProblem);
        keeper.start();
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().first().toString().contains(record.id + ".json"));
        QVERIFY(!QFile::exists(file.fileName()));
        QFile rejected(unsaved + "/rejected/" + record.id + ".json");
        QVERIFY(rejected.open(QIODevice::ReadOnly));
        QCOMPARE(rejected.readAll(), content);
        keeper.close();
        QCOMPARE(storedCount(path), 0);
    }

private:
    QScopedPointer<QTemporaryDir> dir;
    QString path, unsaved;
};

OPA_TEST_CLASS(tst_StoreFaults)
#include "storefaults.moc"
