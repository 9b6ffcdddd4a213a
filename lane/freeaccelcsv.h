#ifndef LANE_FREEACCELCSV_H
#define LANE_FREEACCELCSV_H

#include <QString>

struct FinishedSeries;

// The results file operators keep: one line per finished series, appended
// to "results/freeaccel.csv" in the working folder.
namespace FreeAccelCsv {

extern const char DefaultPath[];
extern const char Header[];

// time,method,peaks_K,mean_K,valid,limit_K,verdict: the series' local end
// time in ISO 8601, the counted peaks joined by ';', figures with two
// decimals, valid yes/no; empty fields where nothing applies.
QString line(const FinishedSeries &outcome);

} // namespace FreeAccelCsv

#endif
