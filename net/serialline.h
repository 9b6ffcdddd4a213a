#ifndef NET_SERIALLINE_H
#define NET_SERIALLINE_H

#include <QString>
#include <QStringList>

// How the meter's serial line is set: the port and its line settings, in
// the words set.ini uses. A plain value, so that the settings and the link
// share it without either knowing the other.
struct SerialLine
{
    QString port;  // "/dev/ttyUSB0", "ttyS0", "COM3"
    int baud = 9600;
    int dataBits = 8;
    QString parity = QStringLiteral("none");
    QString stopBits = QStringLiteral("1");
    QString flowControl = QStringLiteral("none");

    static QStringList parities() { return {QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd"), QStringLiteral("space"), QStringLiteral("mark")}; }
    static QStringList stopBitChoices() { return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}; }
    static QStringList flowControls() { return {QStringLiteral("none"), QStringLiteral("hardware"), QStringLiteral("software")}; }

    bool operator==(const SerialLine &o) const
    {
        return port == o.port && baud == o.baud && dataBits == o.dataBits && parity == o.parity
               && stopBits == o.stopBits && flowControl == o.flowControl;
    }
    bool operator!=(const SerialLine &o) const { return !(*this == o); }
};

#endif
