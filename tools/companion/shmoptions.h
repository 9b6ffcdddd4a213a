#ifndef COMPANION_SHMOPTIONS_H
#define COMPANION_SHMOPTIONS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "common/commandline.h"

struct ShmArguments : commandline::Parsed
{
    enum Command { Send, Read, Log };
    Command command = Read;

    // send
    QByteArray bytes;
    int timeoutMs = 3000;
    // log
    double rateHz = 10;
    int count = 0;    // 0: until stopped
    QString csvPath;  // empty: standard output
};

// 'arguments' as QCoreApplication::arguments() gives them, program first.
// The command comes first, then its options.
ShmArguments parseShmArguments(const QStringList &arguments);

// The --help text; needs the application object.
QString shmUsage();

#endif
