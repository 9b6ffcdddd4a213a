#include "net/serialclient.h"

#include <QDebug>
#include <QFile>
#include <QMetaEnum>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QSerialPort::Parity parityOf(const QString &word)
{
    if (word == QLatin1String("even"))
        return QSerialPort::EvenParity;
    if (word == QLatin1String("odd"))
        return QSerialPort::OddParity;
    if (word == QLatin1String("space"))
        return QSerialPort::SpaceParity;
    if (word == QLatin1String("mark"))
        return QSerialPort::MarkParity;
    return QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsOf(const QString &word)
{
    if (word == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (word == QLatin1String("2"))
        return QSerialPort::TwoStop;
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl flowOf(const QString &word)
{
    if (word == QLatin1String("hardware"))
        return QSerialPort::HardwareControl;
    if (word == QLatin1String("software"))
        return QSerialPort::SoftwareControl;
    return QSerialPort::NoFlowControl;
}

// Where the system keeps the port: set.ini may name it bare ("ttyUSB0").
QString locationOf(const QString &port)
{
#ifdef Q_OS_UNIX
    if (!port.startsWith(QLatin1Char('/')))
        return QStringLiteral("/dev/") + port;
#endif
    return port;
}

} // namespace

SerialClient::SerialClient(QObject *parent)
    : QObject(parent), port(new QSerialPort(this))
{
    connect(port, &QSerialPort::readyRead, this, &SerialClient::onReadyRead);
    connect(port, &QSerialPort::errorOccurred, this, &SerialClient::onError);
}

SerialClient::~SerialClient()
{
    close();
}

bool SerialClient::open()
{
    close();
    port->setPortName(locationOf(settings.port));
    port->setBaudRate(settings.baud);
    port->setDataBits(QSerialPort::DataBits(qBound(5, settings.dataBits, 8)));
    port->setParity(parityOf(settings.parity));
    port->setStopBits(stopBitsOf(settings.stopBits));
    port->setFlowControl(flowOf(settings.flowControl));
    if (settings.port.isEmpty() || !port->open(QIODevice::ReadWrite)) {
        const Problem why = settings.port.isEmpty() ? Problem::NotFound : classifyOpenError();
        setProblem(why, port->errorString());
        port->clearError();
        emit openFailed(why, problemText());
        return false;
    }
    // A partial frame from before the port was closed must not be glued to
    // the first bytes read now; neither must bytes the system kept queued.
    cutter.clear();
    port->clear();
    setProblem(Problem::None, QString());
    qDebug().noquote() << QStringLiteral("serial: %1 open at %2 baud").arg(settings.port).arg(settings.baud);
    emit opened(settings.port);
    return true;
}

SerialClient::Problem SerialClient::classifyOpenError() const
{
    switch (port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return Problem::NotFound;
    case QSerialPort::OpenError:
        return Problem::Busy;
    case QSerialPort::PermissionError:
        // Qt says "permission" both for a lock or exclusive use held by
        // another program and for a device the user may not open.
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(locationOf(settings.port)).constData(), R_OK | W_OK) != 0)
            return Problem::NoPermission;
#endif
        return Problem::Busy;
    default:
        return Problem::Failed;
    }
}

void SerialClient::close()
{
    if (!port->isOpen())
        return;
    port->close();
    port->clearError();
}

bool SerialClient::isOpen() const
{
    return port->isOpen();
}

void SerialClient::send(const QByteArray &frame)
{
    if (!port->isOpen())
        return;
    port->write(frame);
    // The callers pause between commands the meter must see apart.
    port->flush();
}

void SerialClient::noteSilence()
{
    setProblem(Problem::Silent, QString());
}

void SerialClient::onReadyRead()
{
    cutter.append(port->readAll());
    QByteArray frame;
    bool any = false;
    while (cutter.next(&frame)) {
        any = true;
        emit frameReceived(frame);
        if (!port->isOpen())
            return;
    }
    if (any)
        setProblem(Problem::None, QString());
    if (cutter.dropped() != droppedSeen) {
        qWarning().noquote() << QStringLiteral("checksum: %1 frames dropped").arg(cutter.dropped() - droppedSeen);
        droppedSeen = cutter.dropped();
        emit framesDropped(droppedSeen);
    }
}

void SerialClient::onError()
{
    // Open errors are read by open() itself; a timeout is no fault of the line.
    const QSerialPort::SerialPortError error = port->error();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !port->isOpen())
        return;
    const Problem why = error == QSerialPort::ResourceError ? Problem::NotFound : Problem::Failed;
    setProblem(why, port->errorString());
    // A read error on a vanished device repeats for ever while it stays open.
    close();
    emit lost();
}

void SerialClient::setProblem(Problem problem, const QString &why)
{
    if (problem == trouble && why == detail)
        return;
    trouble = problem;
    detail = why;
    if (problem != Problem::None)
        qWarning().noquote() << QStringLiteral("serial: %1: %2 (%3)")
                                    .arg(settings.port, QString::fromLatin1(QMetaEnum::fromType<Problem>().valueToKey(int(problem))), why);
}

QString SerialClient::describe(Problem problem, const QString &port, const QString &detail)
{
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::NotFound:
        return tr("串口 %1 不存在，请检查端口名和连线").arg(port);
    case Problem::Busy:
        return tr("串口 %1 已被其他程序占用").arg(port);
    case Problem::NoPermission:
        return tr("没有权限打开串口 %1（请将用户加入 dialout 组后重新登录）").arg(port);
    case Problem::Failed:
        return tr("无法使用串口 %1：%2").arg(port, detail);
    case Problem::Silent:
        return tr("串口 %1 已打开，仪表没有应答").arg(port);
    }
    return QString();
}

QVector<SerialClient::PortEntry> SerialClient::availablePorts()
{
    QVector<PortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_UNIX
        const QString name = info.systemLocation();
#else
        const QString name = info.portName();
#endif
        ports.append({name, info.description()});
    }
    return ports;
}
