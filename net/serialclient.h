#ifndef NET_SERIALCLIENT_H
#define NET_SERIALCLIENT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QVector>

#include "net/framecutter.h"
#include "net/serialline.h"

class QSerialPort;

// The meter wired to a serial port (RS-232, or a USB adapter) instead of
// behind a network server. Owns the port, opens it with the line's
// settings, cuts what arrives into meter frames with the same cutter as the
// network link and writes the same command frames. Reopening is the link
// keeper's business: this class only says what happened and why.
class SerialClient : public QObject
{
    Q_OBJECT

public:
    // Why the port could not be opened or was lost.
    enum class Problem { None, NotFound, Busy, NoPermission, Failed, Silent };
    Q_ENUM(Problem)

    struct PortEntry
    {
        QString name;  // as set.ini names it: the device's path on Unix, "COM3" on Windows
        QString description;
    };

    explicit SerialClient(QObject *parent = nullptr);
    ~SerialClient() override;

    void setLine(const SerialLine &line) { settings = line; }
    SerialLine line() const { return settings; }

    // Closes the port if open and opens it again with the line's settings.
    // Success shows as opened, failure as openFailed; both return at once.
    bool open();
    // Closes without reporting a loss: whoever calls this knows.
    void close();
    bool isOpen() const;

    Problem problem() const { return trouble; }
    // The problem in the operator's language, or empty text.
    QString problemText() const { return describe(trouble, settings.port, detail); }
    static QString describe(Problem problem, const QString &port, const QString &detail = QString());
    // Marks an open port that the meter does not answer on.
    void noteSilence();

    int droppedFrames() const { return cutter.dropped(); }

    // The ports present, by name.
    static QVector<PortEntry> availablePorts();

signals:
    void opened(const QString &port);
    void openFailed(SerialClient::Problem problem, const QString &why);
    void frameReceived(const QByteArray &frame);
    // The port failed or vanished while open.
    void lost();
    void framesDropped(int total);

public slots:
    void send(const QByteArray &frame);

private:
    void onReadyRead();
    void onError();
    Problem classifyOpenError() const;
    void setProblem(Problem problem, const QString &why);

    SerialLine settings;
    QSerialPort *port;
    FrameCutter cutter;
    Problem trouble = Problem::None;
    QString detail;  // the system's own words, for Failed
    int droppedSeen = 0;
};

#endif
