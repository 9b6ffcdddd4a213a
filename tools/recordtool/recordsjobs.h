#ifndef RECORDTOOL_RECORDSJOBS_H
#define RECORDTOOL_RECORDSJOBS_H

#include "recordtool/recordsoptions.h"

// Runs one parsed command against the database, opened read-only; prints to
// standard output, and one line to standard error when it fails. Returns
// the exit status. 'report' needs a QGuiApplication.
int runRecordsCommand(const RecordsArguments &arguments);

#endif
