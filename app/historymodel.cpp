#include "app/historymodel.h"

#include <QCoreApplication>

void HistoryModel::setRows(const QVector<RecordSummary> &rows)
{
    beginResetModel();
    records = rows;
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : records.size();
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString HistoryModel::verdictText(const RecordSummary &r)
{
    if (r.verdict == QLatin1String("pass"))
        return tr("合格");
    if (r.verdict == QLatin1String("fail"))
        return tr("不合格");
    if (r.outcome == QLatin1String("invalid"))
        return tr("无效");
    if (r.outcome == QLatin1String("abandoned"))
        return tr("已停止");
    return QStringLiteral("—");
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= records.size())
        return QVariant();
    const RecordSummary &r = records.at(index.row());
    if (role == Qt::TextAlignmentRole && (index.column() == Result || index.column() == Limit))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    // A column set narrow to fit the page still shows its whole text.
    if (role == Qt::ToolTipRole)
        return data(index, Qt::DisplayRole);
    if (role != Qt::DisplayRole)
        return QVariant();
    const auto number = [](const std::optional<double> &v) {
        return v ? QString::number(*v, 'f', 2) : QStringLiteral("—");
    };
    switch (index.column()) {
    case Time:
        return r.started.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    case Plate:
        return r.plate.isEmpty() ? tr("无车辆") : r.plate;
    case Vin:
        return r.vin;
    case Method:
        // Stored in the program's own words; shown as the page names it.
        return QCoreApplication::translate("FreeAccelPage", r.method.toUtf8().constData());
    case Result:
        return number(r.meanK);
    case Limit:
        return number(r.limitK);
    case Verdict:
        return verdictText(r);
    case Operator:
        return r.operatorName;
    case Lane:
        return r.lane;
    }
    return QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return tr("时间");
    case Plate:
        return tr("号牌号码");
    case Vin:
        return QStringLiteral("VIN");
    case Method:
        return tr("方法");
    case Result:
        return tr("结果");
    case Limit:
        return tr("限值");
    case Verdict:
        return tr("判定");
    case Operator:
        return tr("检测员");
    case Lane:
        return tr("车道");
    }
    return QVariant();
}
