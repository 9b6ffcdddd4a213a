#include "station/historysource.h"

#include <QJsonObject>

#include "records/recordcsv.h"
#include "records/recordreader.h"
#include "station/serverdb.h"

namespace station {

namespace {

enum Request { ListRequest, ExportRequest, RecordRequest, CheckRequest, CloseRequest };

// A history asks again as the operator types; waiting longer for a server
// only delays the answer that says it is away.
ServerTimeouts historyTimeouts()
{
    ServerTimeouts t;
    t.connectS = 3;
    t.statementMs = 8000;
    return t;
}

} // namespace

HistorySource::HistorySource(const QString &laneDb, const settings::StationServer &server, QObject *parent)
    : QObject(parent), server(server), reader(new RecordReader(laneDb, this)),
      stationRecords(new StationRecords(server, historyTimeouts()))
{
}

HistorySource::~HistorySource()
{
    // The connection is closed on the thread it belongs to; the reader
    // waits for that before it goes.
    StationRecords *records = stationRecords;
    reader->run<bool>(CloseRequest, [records] {
        delete records;
        return qMakePair(true, QString());
    }, {});
}

void HistorySource::list(const RecordFilter &filter, Rows done)
{
    if (from == Origin::Lane) {
        reader->read<QVector<RecordSummary>>(
            ListRequest, [filter](RecordStore &store) { return store.query(filter); }, std::move(done));
        return;
    }
    StationRecords *records = stationRecords;
    reader->run<QVector<RecordSummary>>(ListRequest, [records, filter] {
        const QVector<RecordSummary> rows = records->query(filter);
        return qMakePair(rows, records->errorString());
    }, std::move(done));
}

void HistorySource::exportCsv(const RecordFilter &filter, const QString &path,
                              std::function<void(const QString &)> done)
{
    const auto write = [path](const QVector<RecordSummary> &rows) {
        QString error;
        RecordCsv::write(path, rows, &error);
        return error;
    };
    const auto answer = [done](const QString &writeError, const QString &readError) {
        done(readError.isEmpty() ? writeError : readError);
    };
    if (from == Origin::Lane) {
        reader->read<QString>(ExportRequest, [filter, write](RecordStore &store) {
            const QVector<RecordSummary> rows = store.query(filter, true);
            return store.fault() == RecordStore::Fault::None ? write(rows) : QString();
        }, answer);
        return;
    }
    StationRecords *records = stationRecords;
    reader->run<QString>(ExportRequest, [records, filter, write] {
        const QVector<RecordSummary> rows = records->query(filter, true);
        const QString readError = records->errorString();
        return qMakePair(readError.isEmpty() ? write(rows) : QString(), readError);
    }, answer);
}

void HistorySource::find(const QString &id,
                         std::function<void(const TestRecord &, bool, const QString &)> done)
{
    using Found = QPair<TestRecord, bool>;
    const auto answer = [done](const Found &found, const QString &error) {
        done(found.first, found.second, error);
    };
    if (from == Origin::Lane) {
        reader->read<Found>(RecordRequest, [id](RecordStore &store) {
            TestRecord record;
            QStringList differing;
            store.find(id, &record, &differing);
            return Found(record, !differing.isEmpty());
        }, answer);
        return;
    }
    StationRecords *records = stationRecords;
    reader->run<Found>(RecordRequest, [records, id] {
        TestRecord record;
        QJsonObject doc;
        QString error;
        if (records->find(id, &doc) && !TestRecord::fromJson(doc, &record, &error))
            record = TestRecord();
        return qMakePair(Found(record, false), error.isEmpty() ? records->errorString() : error);
    }, answer);
}

void HistorySource::check(const QStringList &ids,
                          std::function<void(const QHash<QString, QStringList> &, const QString &)> done)
{
    using Failed = QHash<QString, QStringList>;
    if (from == Origin::Lane) {
        reader->read<Failed>(CheckRequest, [ids](RecordStore &store) { return store.check(ids); },
                             std::move(done));
        return;
    }
    reader->run<Failed>(CheckRequest, [] { return qMakePair(Failed(), QString()); }, std::move(done));
}

} // namespace station
