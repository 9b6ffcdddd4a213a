#ifndef RECORDTOOL_RECORDSOPTIONS_H
#define RECORDTOOL_RECORDSOPTIONS_H

#include <QString>
#include <QStringList>

#include "common/commandline.h"
#include "config/stationsettings.h"
#include "records/recordstore.h"

struct RecordsArguments : commandline::Parsed
{
    enum Command { List, Show, Export, Report, Verify, Sync, Lane };
    Command command = List;

    QString database = QStringLiteral("results/opacimeter.sqlite");
    RecordFilter filter;  // list, export
    bool json = false;    // list, show
    QString id;           // show, report
    QString csvPath;      // export
    bool byteOrderMark = true;  // export: for spreadsheets (--no-bom: without)
    QString pdfPath;      // report
    // The station's server: set.ini's [Database] keys, each overridden by
    // its option. list, show, export and report read the server instead of
    // the file when --server-host is given; sync sends to it.
    settings::StationServer server;
    bool fromServer = false;
    bool retryRefused = false;  // sync
};

// 'arguments' as QCoreApplication::arguments() gives them, program first.
// The options may come before the command as well as after it. 'stored' is the station server
// set.ini names, and 'database' the lane database it names.
RecordsArguments parseRecordsArguments(const QStringList &arguments,
                                       const settings::StationServer &stored = {},
                                       const QString &database = QString());

QString recordsUsage();

#endif
