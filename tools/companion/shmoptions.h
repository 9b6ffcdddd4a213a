#ifndef COMPANION_SHMOPTIONS_H
#define COMPANION_SHMOPTIONS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ShmArguments
{
    enum Status { Run, Help, Version, Error };
    enum Command { Send, Read, Log };
    Status status = Run;
    Command command = Read;
    QString message;  // the error for Error

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
