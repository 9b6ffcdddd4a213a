#ifndef SIMULATOR_SIMOPTIONS_H
#define SIMULATOR_SIMOPTIONS_H

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QVector>

#include "common/commandline.h"
#include "meter/measurementframe.h"

// Everything opacimeter-sim can be told on its command line.
struct SimOptions
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 8899;
    QString serialPath;  // --serial: a serial line instead of TCP

    QString scenario = QStringLiteral("steady");
    QString csvPath;  // scenario "file"
    // The steady scenario's values; the defaults make the reply
    // 06 33 0A D2 04 64 00 2C 01 19 1E 00 08 17.
    RawMeasurement steady = {1234, 100, 300, 25, 30, 2048};
    int tauMs = 455;      // step scenarios: 10-90 % in about one second
    int periodMs = 8000;  // smoke and step scenarios: length of one cycle
    QVector<qint16> peaks;  // free-accel: the K of each snap, in hundredths
    qint16 checkN = 0;      // zero and filter: the N held, in hundredths

    int calibrationDelayMs = 2000;

    int splitBytes = 0;   // 0: each reply in one write
    bool garbage = false;
    int strayEvery = 0;   // 0: no stray 0x06 before replies
    int badChecksumEvery = 0;  // 0: every reply's checksum right
    int dropAfter = 0;    // 0: never drop
    int outageAfterMs = 0;  // 0: no outage
    int outageForMs = 0;
    bool silent = false;
    bool noAccept = false;
    bool quiet = false;   // no line per frame, only connection events
};

struct SimArguments : commandline::Parsed
{
    SimOptions options;
};

// 'arguments' as QCoreApplication::arguments() gives them, program first.
SimArguments parseSimArguments(const QStringList &arguments);

// The --help text; needs the application object.
QString simUsage();

#endif
