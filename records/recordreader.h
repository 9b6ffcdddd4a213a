#ifndef RECORDS_RECORDREADER_H
#define RECORDS_RECORDREADER_H

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>

#include "records/recordstore.h"

// Reads the records file away from the caller's thread: each request runs
// on the reader's one thread with a read-only connection of its own, so a
// file held by a long write, another program or 100,000 records never holds
// up the polling. The answer comes back on the reader's thread; of several
// requests of one kind, only the latest is answered, except of EachAnswered.
class RecordReader : public QObject
{
public:
    // Requests of this kind are all answered, in order: each has someone
    // waiting for it.
    static constexpr int EachAnswered = -1;

    explicit RecordReader(const QString &path, QObject *parent = nullptr);
    ~RecordReader() override;

    QString path() const { return file; }
    // The words errors are told in; the window's language by default.
    void setWords(Words words) { errorWords = words; }

    // 'work' runs with the store open; 'done' gets its value and, when the
    // file could not be read, why. A file not made yet reads as empty.
    template <typename T>
    void read(int kind, std::function<T(RecordStore &)> work,
              std::function<void(const T &, const QString &error)> done);
    // 'work' runs on the reader's thread as it is, for what is read from
    // elsewhere than the file (the station's server): its value and why it
    // failed. The thread is kept for the reader's life, so a connection
    // opened there can be used again. 'done' may be empty.
    template <typename T>
    void run(int kind, std::function<QPair<T, QString>()> work,
             std::function<void(const T &, const QString &error)> done);

private:
    static QString openFor(RecordStore &store, const QString &path, Words words, bool *missing);

    QString file;
    Words errorWords = Words::Shown;
    QThreadPool pool;
    QHash<int, int> latest;
};

template <typename T>
void RecordReader::run(int kind, std::function<QPair<T, QString>()> work,
                       std::function<void(const T &, const QString &)> done)
{
    using Answer = QPair<T, QString>;
    const int ticket = kind == EachAnswered ? 0 : ++latest[kind];
    auto *watcher = new QFutureWatcher<Answer>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, kind, ticket, done] {
        const Answer answer = watcher->result();
        watcher->deleteLater();
        if (done && (kind == EachAnswered || latest.value(kind) == ticket))
            done(answer.first, answer.second);
    });
    watcher->setFuture(QtConcurrent::run(&pool, std::move(work)));
}

template <typename T>
void RecordReader::read(int kind, std::function<T(RecordStore &)> work,
                        std::function<void(const T &, const QString &)> done)
{
    using Answer = QPair<T, QString>;
    const QString path = file;
    const Words words = errorWords;
    run<T>(kind, [path, words, work] {
        RecordStore store;
        bool missing = false;
        const QString error = openFor(store, path, words, &missing);
        if (missing || !error.isEmpty())
            return Answer(T(), missing ? QString() : error);
        T value = work(store);
        return Answer(value, store.fault() == RecordStore::Fault::None ? QString()
                                                                       : store.errorString(words));
    }, std::move(done));
}

#endif
