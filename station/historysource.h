#ifndef STATION_HISTORYSOURCE_H
#define STATION_HISTORYSOURCE_H

#include <QObject>
#include <QVector>

#include <functional>

#include "config/stationsettings.h"
#include "records/recordstore.h"

class RecordReader;

namespace station {

class StationRecords;

// Where a history reads its records: the lane's own file ("本机") or the
// station's server ("全站"), with the same filters, sort and answers. Every
// read of either runs on one reader thread, never the caller's: a server
// that does not answer holds up nothing but the history's own answers.
// Of several reads of one kind only the latest is answered.
class HistorySource : public QObject
{
public:
    enum class Origin { Lane, Station };

    HistorySource(const QString &laneDb, const settings::StationServer &server, QObject *parent = nullptr);
    ~HistorySource() override;

    Origin origin() const { return from; }
    void setOrigin(Origin origin) { from = origin; }
    bool stationSet() const { return server.enabled(); }

    using Rows = std::function<void(const QVector<RecordSummary> &rows, const QString &error)>;
    void list(const RecordFilter &filter, Rows done);
    // The filtered records written to 'path' as the records tool exports them.
    void exportCsv(const RecordFilter &filter, const QString &path, std::function<void(const QString &error)> done);
    // An empty record with an empty error when there is no such record;
    // 'checkFailed' when the lane's row disagrees with its hashed content.
    void find(const QString &id,
              std::function<void(const TestRecord &record, bool checkFailed, const QString &error)> done);
    // The lane's rows among 'ids' whose columns or content fail their
    // check, with what differs; the station's rows are checked by the lane
    // that sent them, so none are named there.
    void check(const QStringList &ids,
               std::function<void(const QHash<QString, QStringList> &failed, const QString &error)> done);

private:
    settings::StationServer server;
    Origin from = Origin::Lane;
    RecordReader *reader;
    // Used on the reader's thread only, where its connection lives, and
    // deleted there by the last read.
    StationRecords *stationRecords;
};

} // namespace station

#endif
