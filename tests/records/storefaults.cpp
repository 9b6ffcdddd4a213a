#include <QtTest>

#include <QFile>
#include <QSignalSpy>

#include <sys/mount.h>
#include <sched.h>

#include "support/testrunner.h"

#include "recordfixtures.h"
#include "records/recordkeeper.h"
#include "records/recordstore.h"

namespace {

QString unsavedFolder(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("results/unsaved"));
}

int storedCount(const QString &path)
{
    RecordStore store;
    return store.open(path, RecordStore::Mode::ReadOnly) ? store.query(RecordFilter()).size() : -1;
}

// A folder on a filesystem of 'kb' kilobytes, in a mount namespace of this
// process's own; false where the machine does not allow it.
bool smallFilesystem(const QString &folder, int kb)
{
    static bool unshared = unshare(CLONE_NEWNS) == 0
                           && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const QByteArray options = "size=" + QByteArray::number(kb) + "k";
    return unshared && QDir().mkpath(folder)
           && mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                    options.constData()) == 0;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

// The database refusing a record, and the keeper seeing that none is lost.
class tst_StoreFaults : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); path = dir->filePath("opacimeter.sqlite"); }
    void unwritableFolder();
    void unwritableFile();
    void diskFull();
    void lockedByAnotherProgram();
    void keeperRetriesThenLeavesUnsavedForTheNextStart();
    void keeperMovesCorruptFileAside();

private:
    QScopedPointer<QTemporaryDir> dir;
    QString path;
};

void tst_StoreFaults::unwritableFolder()
{
    QVERIFY(writeFile(dir->filePath("results"), ""));  // a file where the folder should be
    RecordStore store;
    QVERIFY(!store.open(dir->filePath("results/opacimeter.sqlite")));
    QCOMPARE(store.fault(), RecordStore::Fault::Unwritable);
    QVERIFY2(store.errorString().startsWith(QStringLiteral("数据库无法写入")), qPrintable(store.errorString()));
    QVERIFY(!store.store(fixtures::record()));
}

void tst_StoreFaults::unwritableFile()
{
    QVERIFY(RecordStore().open(path));
    // Root writes through file modes; the immutable attribute stops it too.
    const bool immutable = QProcess::execute("chattr", {"+i", path}) == 0;
    if (!immutable)
        QFile::setPermissions(path, QFile::ReadOwner);
    RecordStore store;
    const bool stored = store.open(path) && store.store(fixtures::record());
    if (immutable)
        QProcess::execute("chattr", {"-i", path});
    if (!immutable && stored)
        QSKIP("this user writes through read-only files and cannot set them immutable");
    QVERIFY(!stored);
    QCOMPARE(store.fault(), RecordStore::Fault::Unwritable);
}

void tst_StoreFaults::diskFull()
{
    const QString folder = dir->filePath("small");
    if (!smallFilesystem(folder, 160))
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

void tst_StoreFaults::lockedByAnotherProgram()
{
    RecordStore store;
    QVERIFY(store.open(path));
    fixtures::OtherConnection other(path);
    QVERIFY(other.holdWriteLock());
    QVERIFY(!store.store(fixtures::record()));
    QCOMPARE(store.fault(), RecordStore::Fault::Locked);
    QVERIFY(store.errorString().contains(QStringLiteral("锁定")));
    other.release();
    QVERIFY2(store.store(fixtures::record()), qPrintable(store.errorString()));
}

// Locked before the program could even make its tables: the keeper tries
// again until the record is in. Still locked at close, what it holds goes
// into the unsaved folder, and the next start takes it in.
void tst_StoreFaults::keeperRetriesThenLeavesUnsavedForTheNextStart()
{
    const TestRecord first = fixtures::record("京A1"), second = fixtures::record("京A2", 5);
    auto other = std::make_unique<fixtures::OtherConnection>(path);
    QVERIFY(other->lockExclusively());
    {
        RecordKeeper keeper(path, unsavedFolder(*dir));
        keeper.setRetryInterval(200);
        QSignalSpy refused(&keeper, &RecordKeeper::recordRefused);
        QSignalSpy stored(&keeper, &RecordKeeper::recordStored);
        keeper.start();
        keeper.keep(first);
        QVERIFY(refused.wait(10000));
        QCOMPARE(keeper.pendingCount(), 1);
        QVERIFY(keeper.problem().contains(QStringLiteral("锁定")));
        other.reset();
        QVERIFY(QTest::qWaitFor([&] { return stored.count() == 1; }, 10000));
        QCOMPARE(stored.first().first().toString(), first.id);
        QCOMPARE(keeper.pendingCount(), 0);
        QVERIFY(keeper.problem().isEmpty());

        other = std::make_unique<fixtures::OtherConnection>(path);
        QVERIFY(other->holdWriteLock());
        keeper.keep(second);
        QVERIFY(QTest::qWaitFor([&] { return refused.count() == 2; }, 15000));
        QVERIFY(keeper.close());
    }
    other.reset();
    QCOMPARE(QDir(unsavedFolder(*dir)).entryList({"*.json"}), QStringList{second.id + ".json"});
    QCOMPARE(storedCount(path), 1);

    RecordKeeper keeper(path, unsavedFolder(*dir));
    QSignalSpy stored(&keeper, &RecordKeeper::recordStored);
    keeper.start();
    QVERIFY(QTest::qWaitFor([&] { return stored.count() == 1; }, 10000));
    QVERIFY(keeper.close());
    QCOMPARE(QDir(unsavedFolder(*dir)).entryList({"*.json"}).size(), 0);
    RecordStore store;
    QVERIFY(store.open(path, RecordStore::Mode::ReadOnly));
    TestRecord back;
    QVERIFY(store.find(second.id, &back));
    QCOMPARE(back.toJson(), second.toJson());
}

// The damaged file is kept, whole, beside the new database.
void tst_StoreFaults::keeperMovesCorruptFileAside()
{
    const QByteArray junk = QByteArray("no database at all ").repeated(500);
    QVERIFY(writeFile(path, junk));
    RecordKeeper keeper(path, unsavedFolder(*dir));
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
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), junk);
    QVERIFY(keeper.close());
    QCOMPARE(storedCount(path), 1);
    RecordStore store;
    QVERIFY(store.open(path));
    QCOMPARE(store.schemaVersion(), 2);
}

OPA_TEST_CLASS(tst_StoreFaults)
#include "storefaults.moc"
