#ifndef SIMULATOR_PTYLINE_H
#define SIMULATOR_PTYLINE_H

#include <QIODevice>
#include <QString>

class QSocketNotifier;

// The simulated meter's end of a serial line: a device named on the
// command line (a real port, or one end of a socat pair), or a new
// pseudo-terminal whose other end the program opens as its serial port.
// Raw bytes both ways, as a meter's UART sends them.
class PtyLine : public QIODevice
{
    Q_OBJECT

public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    // 'path' names an existing device to use, or else the link to make to
    // a new pseudo-terminal's other end (left to the caller when empty).
    // False, with the reason, when neither works.
    bool open(const QString &path, QString *error);
    // The path the program opens: the device, or the pseudo-terminal's.
    QString programSide() const { return programPath; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    // Bytes written and not yet read by the program, on a pseudo-terminal.
    int unreadByProgram() const;
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool openDevice(const QString &path, QString *error);
    bool openPseudoTerminal(const QString &link, QString *error);

    int fd = -1;
    int heldOpen = -1;  // the program's end, so the line never hangs up
    QString programPath;
    QString madeLink;
    QSocketNotifier *notifier = nullptr;
};

#endif
