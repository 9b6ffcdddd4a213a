#include "app/historymodel.h"

#include <QBrush>
#include <QCoreApplication>

#include "lane/dailychecks.h"
#include "records/recordcheck.h"

namespace {

// A daily check's record names its check as its method.
QString checkName(const QString &method)
{
    CheckKind kind;
    return CheckKinds::fromKey(method, &kind) ? CheckKinds::shownName(kind) : QString();
}

} // namespace

void HistoryModel::setRows(const QVector<RecordSummary> &rows)
{
    beginResetModel();
    records = rows;
    // The file may have been changed since: rows are checked again.
    checked.clear();
    failures.clear();
    endResetModel();
}

QStringList HistoryModel::unchecked(int from, int to) const
{
    QStringList ids;
    for (int i = qMax(0, from); i <= to && i < records.size(); ++i)
        if (!checked.contains(records.at(i).id))
            ids << records.at(i).id;
    return ids;
}

void HistoryModel::setChecks(const QStringList &ids, const QHash<QString, QStringList> &failed)
{
    for (const QString &id : ids) {
        checked.insert(id);
        if (failed.contains(id))
            failures.insert(id, failed.value(id));
    }
    for (int i = 0; i < records.size(); ++i)
        if (failed.contains(records.at(i).id))
            emit dataChanged(index(i, 0), index(i, ColumnCount - 1));
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
    const bool failed = failures.contains(r.id);
    if (failed && role == Qt::ForegroundRole)
        return QBrush(QColor(200, 0, 0));
    if (failed && role == Qt::ToolTipRole)
        return QStringLiteral("%1: %2").arg(RecordCheck::failedText(),
                                            failures.value(r.id).join(QStringLiteral(", ")));
    // A column set narrow to fit the page still shows its whole text.
    if (role == Qt::ToolTipRole)
        return data(index, Qt::DisplayRole);
    if (role != Qt::DisplayRole)
        return QVariant();
    // What the row's columns say cannot be trusted: no verdict is shown.
    if (failed && index.column() == Verdict)
        return RecordCheck::failedText();
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
        return checkName(r.method).isEmpty()
                   ? QCoreApplication::translate("FreeAccelPage", r.method.toUtf8().constData())
                   : checkName(r.method);
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
