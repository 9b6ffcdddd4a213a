#ifndef METER_FREEACCELCSV_H
#define METER_FREEACCELCSV_H

#include <QDateTime>
#include <QString>

class FreeAccelSeries;

// The results file operators keep: one line per finished series, appended
// to "results/freeaccel.csv" in the working folder.
namespace FreeAccelCsv {

extern const char DefaultPath[];
extern const char Header[];

// time,method,peaks_K,mean_K,valid,limit_K,verdict for a finished series:
// local ISO 8601 time, the counted peaks joined by ';', figures with two
// decimals, valid yes/no; empty fields where nothing applies.
QString line(const FreeAccelSeries &series, const QDateTime &when);

// Appends 'text' as one line, creating the file (and its folder) with the
// header first when missing. Returns false with a reason on failure.
bool append(const QString &path, const QString &text, QString *error);

} // namespace FreeAccelCsv

#endif
