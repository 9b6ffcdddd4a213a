#ifndef RECORDTOOL_RECORDSOPTIONS_H
#define RECORDTOOL_RECORDSOPTIONS_H

#include <QString>
#include <QStringList>

#include "records/recordstore.h"

struct RecordsArguments
{
    enum Status { Run, Help, Version, Error };
    enum Command { List, Show, Export, Report, Verify };
    Status status = Run;
    Command command = List;
    QString message;  // the error for Error

    QString database = QStringLiteral("results/opacimeter.sqlite");
    RecordFilter filter;  // list, export
    bool json = false;    // list, show
    QString id;           // show, report
    QString csvPath;      // export
    QString pdfPath;      // report
};

// 'arguments' as QCoreApplication::arguments() gives them, program first.
// The command comes first, then its options.
RecordsArguments parseRecordsArguments(const QStringList &arguments);

QString recordsUsage();

#endif
