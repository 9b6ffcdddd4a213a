#include "lane/freeaccelcsv.h"

#include <QStringList>

#include "lane/csvfile.h"
#include "records/finishedseries.h"

namespace FreeAccelCsv {

const char DefaultPath[] = "results/freeaccel.csv";
const char Header[] = "time,method,peaks_K,mean_K,valid,limit_K,verdict";

namespace {
QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}
} // namespace

QString line(const FinishedSeries &outcome)
{
    QStringList peaks;
    for (int i : outcome.countedIndexes)
        peaks << twoDecimals(outcome.snaps.at(i).peakK);
    const FreeAccelMethod &method = outcome.method;
    return QStringList{CsvFile::timeText(outcome.ended, false),
                       method.name,
                       peaks.join(QLatin1Char(';')),
                       outcome.hasResult ? twoDecimals(outcome.result) : QString(),
                       outcome.valid() ? QStringLiteral("yes") : QStringLiteral("no"),
                       method.hasLimit ? twoDecimals(method.limitK) : QString(),
                       outcome.verdict}
        .join(QLatin1Char(','));
}

} // namespace FreeAccelCsv
