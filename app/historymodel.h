#ifndef APP_HISTORYMODEL_H
#define APP_HISTORYMODEL_H

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QVector>

#include "records/recordstore.h"

// The rows of the history as the store's query returned them, already
// filtered and sorted there: time, plate, VIN, method, result, limit,
// verdict, operator, and the lane in the station's history. Its columns
// follow RecordFilter::Sort.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Plate, Vin, Method, Result, Limit, Verdict, Operator, Lane, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // New rows are unchecked until setChecks() says how they fared.
    void setRows(const QVector<RecordSummary> &rows);
    const RecordSummary &row(int index) const { return records.at(index); }
    // The ids of rows 'from' to 'to' not checked yet.
    QStringList unchecked(int from, int to) const;
    // 'ids' were checked; 'failed' holds those whose stored row does not
    // hold together, with what differs. Such a row says "记录校验失败" in
    // place of its verdict, in red.
    void setChecks(const QStringList &ids, const QHash<QString, QStringList> &failed);
    bool checkFailed(int row) const { return failures.contains(records.at(row).id); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // A verdict or, without one, the outcome, as the page shows it.
    static QString verdictText(const RecordSummary &record);

private:
    QVector<RecordSummary> records;
    QSet<QString> checked;
    QHash<QString, QStringList> failures;
};

#endif
