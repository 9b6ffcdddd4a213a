#include "records/recordkeeper.h"

#include <QDir>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

// Owns the store on the keeper's thread; every call arrives queued.
class RecordWriter : public QObject
{
    Q_OBJECT

public:
    void open(const QString &path)
    {
        store = std::make_unique<RecordStore>();
        const bool ok = store->open(path);
        if (!store->movedAside().isEmpty())
            emit replaced(store->movedAside());
        if (ok) {
            emit calibrationFound(store->lastCalibration());
            emit checksFound(recentChecks());
        }
        else
            emit openFailed(store->errorString());
        if (!store->durabilityNotice().isEmpty())
            emit openFailed(store->durabilityNotice());
    }
    bool store_(const TestRecord &record)
    {
        const bool stored = store->store(record);
        if (!store->movedAside().isEmpty())
            emit replaced(store->movedAside());
        emit attempted(record.id, stored, store->errorString());
        return stored;
    }
    void addEvent(RecordStore::MeterEvent kind, const QDateTime &at, const QString &address)
    {
        if (!store->isOpen())
            store->open(store->path());
        store->addMeterEvent(kind, at, address);
    }
    void shut() { store.reset(); }
    // Yesterday's and today's, whatever the day's lock decides with them.
    QVector<RecordSummary> recentChecks()
    {
        RecordFilter filter;
        filter.kind = QString::fromLatin1(TestRecord::CheckKind);
        filter.since = QDate::currentDate().addDays(-1);
        return store->query(filter);
    }

signals:
    void attempted(const QString &id, bool stored, const QString &error);
    void replaced(const QString &movedAside);
    void calibrationFound(const QDateTime &at);
    void checksFound(const QVector<RecordSummary> &checks);
    void openFailed(const QString &error);

private:
    std::unique_ptr<RecordStore> store;
};

RecordKeeper::RecordKeeper(const QString &databasePath, const QString &unsavedFolder,
                           QObject *parent)
    : QObject(parent), databasePath(databasePath), unsavedFolder(unsavedFolder)
{
    qRegisterMetaType<QVector<RecordSummary>>();
    journal.setMaxThreadCount(1);
    journal.setExpiryTimeout(-1);
    retry.setInterval(DefaultRetryMs);
    connect(&retry, &QTimer::timeout, this, &RecordKeeper::retryNow);
}

RecordKeeper::~RecordKeeper()
{
    close();
}

void RecordKeeper::setRetryInterval(int ms)
{
    retry.setInterval(ms);
}

void RecordKeeper::start()
{
    if (thread)
        return;
    thread = new QThread(this);
    writer = new RecordWriter;
    writer->moveToThread(thread);
    connect(writer, &RecordWriter::attempted, this, &RecordKeeper::attempted);
    connect(writer, &RecordWriter::calibrationFound, this,
            [this](const QDateTime &at) { calibration = at.isValid() ? at : calibration; });
    connect(writer, &RecordWriter::checksFound, this, &RecordKeeper::checksFound);
    connect(writer, &RecordWriter::openFailed, this, &RecordKeeper::say);
    connect(writer, &RecordWriter::replaced, this, [this](const QString &movedAside) {
        emit databaseReplaced(movedAside, tr("数据库文件已损坏，已移至 %1，并新建了数据库")
                                              .arg(QDir::toNativeSeparators(movedAside)));
    });
    thread->start();
    const QString path = databasePath;
    RecordWriter *w = writer;
    QMetaObject::invokeMethod(writer, [w, path] { w->open(path); }, Qt::QueuedConnection);
    retryNow();  // what was kept before the start
    takeInUnsaved();
}

void RecordKeeper::keep(const TestRecord &record)
{
    for (const TestRecord &r : pending)
        if (r.id == record.id)
            return;
    pending << record;
    writeAhead(record);
}

void RecordKeeper::writeAhead(const TestRecord &record)
{
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, record] {
        const QString error = watcher->result();
        watcher->deleteLater();
        // Not on disk: the database is still tried, and the operator told.
        if (!error.isEmpty())
            say(error);
        submit(record);
    });
    const QString folder = unsavedFolder;
    watcher->setFuture(QtConcurrent::run(&journal, [folder, record] {
        return writeUnsavedFile(folder, record);
    }));
}

void RecordKeeper::say(const QString &problem)
{
    lastProblem = problem;
    emit storageProblem(problem);
}

void RecordKeeper::submit(const TestRecord &record)
{
    if (!writer || inFlight.contains(record.id))
        return;
    inFlight.insert(record.id, true);
    RecordWriter *w = writer;
    QMetaObject::invokeMethod(writer, [w, record] { w->store_(record); }, Qt::QueuedConnection);
}

void RecordKeeper::addMeterEvent(RecordStore::MeterEvent kind, const QDateTime &at,
                                 const QString &meterAddress)
{
    if (kind == RecordStore::MeterEvent::Calibration)
        calibration = at;
    if (!writer)
        return;
    RecordWriter *w = writer;
    QMetaObject::invokeMethod(writer, [=] { w->addEvent(kind, at, meterAddress); },
                              Qt::QueuedConnection);
}

void RecordKeeper::retryNow()
{
    for (const TestRecord &r : pending)
        submit(r);
}

void RecordKeeper::attempted(const QString &id, bool stored, const QString &error)
{
    inFlight.remove(id);
    if (!stored) {
        lastProblem = error;
        if (!retry.isActive())
            retry.start();
        emit recordRefused(id, error);
        return;
    }
    for (int i = 0; i < pending.size(); ++i)
        if (pending.at(i).id == id)
            pending.remove(i--);
    forgetUnsavedFile(id);
    if (pending.isEmpty()) {
        retry.stop();
        lastProblem.clear();
    }
    emit recordStored(id);
}

bool RecordKeeper::close()
{
    retry.stop();
    journal.waitForDone();
    if (!thread)
        return pending.isEmpty();
    // Results still on their way are dropped; the last try below covers them.
    disconnect(writer, nullptr, this, nullptr);
    RecordWriter *w = writer;
    QStringList stored;
    const QVector<TestRecord> left = pending;
    QMetaObject::invokeMethod(writer, [w, left, &stored] {
        for (const TestRecord &r : left)
            if (w->store_(r))
                stored << r.id;
        w->shut();
    }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete writer;
    writer = nullptr;
    delete thread;
    thread = nullptr;
    inFlight.clear();
    bool allKept = true;
    for (int i = 0; i < pending.size(); ++i) {
        if (stored.contains(pending.at(i).id)) {
            QFile::remove(unsavedFileFor(unsavedFolder, pending.at(i).id));
            pending.remove(i--);
        } else {
            allKept = writeUnsaved(pending.at(i)) && allKept;
        }
    }
    return allKept;
}
#include "recordkeeper.moc"
