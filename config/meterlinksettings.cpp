#include "config/meterlinksettings.h"

#include <QCoreApplication>
#include <QDebug>

#include "config/inifile.h"

namespace settings {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SettingsForm", text);
}

// Baud rates above this are no serial line a meter speaks.
constexpr int MaxBaud = 4000000;

bool hasControl(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

} // namespace

QString serialLineProblem(const SerialLine &line, bool serial, QString *key)
{
    const auto refuse = [key](const char *name, const QString &why) {
        *key = QLatin1String(name);
        return why;
    };
    if (serial && line.port.isEmpty())
        return refuse("Port", tr("请选择或填写串口"));
    if (hasControl(line.port))
        return refuse("Port", tr("不能含换行或其他控制字符"));
    if (line.baud < 50 || line.baud > MaxBaud)
        return refuse("Baud", tr("须在 50 到 %1 之间").arg(MaxBaud));
    if (line.dataBits < 5 || line.dataBits > 8)
        return refuse("DataBits", tr("须为 5 到 8"));
    if (!SerialLine::parities().contains(line.parity))
        return refuse("Parity", tr("须为 %1 之一").arg(SerialLine::parities().join(QLatin1Char(' '))));
    if (!SerialLine::stopBitChoices().contains(line.stopBits))
        return refuse("StopBits", tr("须为 %1 之一").arg(SerialLine::stopBitChoices().join(QLatin1Char(' '))));
    if (!SerialLine::flowControls().contains(line.flowControl))
        return refuse("FlowControl", tr("须为 %1 之一").arg(SerialLine::flowControls().join(QLatin1Char(' '))));
    key->clear();
    return QString();
}

MeterLinkSettings storedMeterLink()
{
    IniFile file;
    file.beginGroup(QStringLiteral("Meter"));
    MeterLinkSettings m;
    const QString link = file.value(QStringLiteral("Link"), QStringLiteral("network")).toString().trimmed();
    m.serial = link == QLatin1String("serial");
    if (!m.serial && link != QLatin1String("network"))
        qWarning().noquote() << QStringLiteral("set.ini: [Meter] Link=%1 is neither network nor serial; using network").arg(link);
    const SerialLine defaults;
    SerialLine &l = m.line;
    l.port = file.value(QStringLiteral("Port")).toString().trimmed();
    l.baud = file.value(QStringLiteral("Baud"), defaults.baud).toInt();
    l.dataBits = file.value(QStringLiteral("DataBits"), defaults.dataBits).toInt();
    l.parity = file.value(QStringLiteral("Parity"), defaults.parity).toString().trimmed().toLower();
    l.stopBits = file.value(QStringLiteral("StopBits"), defaults.stopBits).toString().trimmed();
    l.flowControl = file.value(QStringLiteral("FlowControl"), defaults.flowControl).toString().trimmed().toLower();
    // Each bad key falls back alone, so one typo does not cost the others.
    QString key;
    for (QString why = serialLineProblem(l, false, &key); !why.isEmpty();
         why = serialLineProblem(l, false, &key)) {
        qWarning().noquote() << QStringLiteral("set.ini: [Meter] %1 is refused; using the default").arg(key);
        if (key == QLatin1String("Port"))
            l.port.clear();
        else if (key == QLatin1String("Baud"))
            l.baud = defaults.baud;
        else if (key == QLatin1String("DataBits"))
            l.dataBits = defaults.dataBits;
        else if (key == QLatin1String("Parity"))
            l.parity = defaults.parity;
        else if (key == QLatin1String("StopBits"))
            l.stopBits = defaults.stopBits;
        else
            l.flowControl = defaults.flowControl;
    }
    return m;
}

void storeMeterLink(const MeterLinkSettings &meter)
{
    IniFile file;
    file.beginGroup(QStringLiteral("Meter"));
    file.setValue(QStringLiteral("Link"), meter.serial ? QStringLiteral("serial") : QStringLiteral("network"));
    file.setValue(QStringLiteral("Port"), meter.line.port);
    file.setValue(QStringLiteral("Baud"), meter.line.baud);
    file.setValue(QStringLiteral("DataBits"), meter.line.dataBits);
    file.setValue(QStringLiteral("Parity"), meter.line.parity);
    file.setValue(QStringLiteral("StopBits"), meter.line.stopBits);
    file.setValue(QStringLiteral("FlowControl"), meter.line.flowControl);
    file.endGroup();
    file.commit();
}

} // namespace settings
