#include "records/recordreader.h"

RecordReader::RecordReader(const QString &path, QObject *parent)
    : QObject(parent), file(path)
{
    pool.setMaxThreadCount(1);
    // A database connection belongs to the thread that opened it.
    pool.setExpiryTimeout(-1);
}

RecordReader::~RecordReader()
{
    pool.waitForDone();
}

QString RecordReader::openFor(RecordStore &store, const QString &path, Words words, bool *missing)
{
    if (store.open(path, RecordStore::Mode::ReadOnly))
        return QString();
    *missing = store.fault() == RecordStore::Fault::Missing;
    return store.errorString(words);
}
