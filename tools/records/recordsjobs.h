#ifndef RECORDS_TOOL_RECORDSJOBS_H
#define RECORDS_TOOL_RECORDSJOBS_H

#include "records/recordsoptions.h"

// Runs one parsed command against the database, opened read-only; prints to
// standard output, and one line to standard error when it fails. Returns
// the exit status. 'report' needs a QGuiApplication.
int runRecordsCommand(const RecordsArguments &arguments);

#endif
