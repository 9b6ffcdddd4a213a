#include "meter/freeaccelcsv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include "meter/freeaccelseries.h"

namespace FreeAccelCsv {

const char DefaultPath[] = "results/freeaccel.csv";
const char Header[] = "time,method,peaks_K,mean_K,valid,limit_K,verdict";

namespace {
QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}
} // namespace

QString line(const FreeAccelSeries &series, const QDateTime &when)
{
    const bool valid = series.state() == FreeAccelSeries::State::Valid;
    QStringList peaks;
    for (int i : series.countedIndexes())
        peaks << twoDecimals(series.snaps().at(i).peakK);
    const FreeAccelMethod &method = series.method();
    return QStringList{when.toString(Qt::ISODate),
                       method.name,
                       peaks.join(QLatin1Char(';')),
                       valid ? twoDecimals(series.result()) : QString(),
                       valid ? QStringLiteral("yes") : QStringLiteral("no"),
                       method.hasLimit ? twoDecimals(method.limitK) : QString(),
                       series.verdict()}
        .join(QLatin1Char(','));
}

bool append(const QString &path, const QString &text, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create folder %1").arg(info.absolutePath());
        return false;
    }
    QFile file(path);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    if (fresh)
        out << Header << '\n';
    out << text << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || !file.flush()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace FreeAccelCsv
