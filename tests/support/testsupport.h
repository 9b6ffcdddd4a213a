#ifndef TESTS_TESTSUPPORT_H
#define TESTS_TESTSUPPORT_H

#include <QByteArray>
#include <QDir>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

class QMessageBox;

namespace testsupport {

constexpr quint16 ServerPort = 8899;

// Runs the test inside a fresh, empty working folder so that "./set.ini"
// and friends never touch the developer's files; restores the old one.
class ScopedWorkDir
{
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

// A stand-in for the meter server on a loopback address: accepts clients,
// keeps every byte each one sends, and can answer.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackServer(QObject *parent = nullptr) : QObject(parent) {}
    bool listen(const QString &address = QStringLiteral("127.0.0.1"),
                quint16 port = ServerPort);
    void close();

    QTcpServer &server() { return tcp; }
    int clientCount() const { return clients.size(); }
    QTcpSocket *lastClient() const { return clients.isEmpty() ? nullptr : clients.last().data(); }
    // Waits until 'count' clients have been accepted.
    bool waitForClients(int count, int timeoutMs = 5000);
    // Everything received so far on all connections, in arrival order.
    QByteArray received() const { return bytes; }
    void clearReceived() { bytes.clear(); }
    bool waitForReceived(int size, int timeoutMs = 5000);
    // Writes to the newest client and flushes.
    void send(const QByteArray &data);

signals:
    void bytesArrived(QByteArray data);

private:
    QTcpServer tcp;
    QList<QPointer<QTcpSocket>> clients;
    QByteArray bytes;
};

// Watches for application-modal message boxes, records their title and
// text, and closes each after 'closeAfterMs' (accepting it), so tests never
// hang on a box meant for a person.
class MessageBoxCloser : public QObject
{
    Q_OBJECT
public:
    struct Seen {
        QString title;
        QString text;
        qint64 openedAtMs;
        qint64 closedAtMs;
    };

    explicit MessageBoxCloser(int closeAfterMs = 0, QObject *parent = nullptr);
    ~MessageBoxCloser() override;
    const QList<Seen> &seen() const { return boxes; }
    int count() const { return boxes.size(); }
    // When false, boxes are recorded but left for the code to close itself.
    void setClosing(bool on) { closing = on; }

private:
    void poll();
    QList<Seen> boxes;
    QList<QPointer<QMessageBox>> open;
    int closeAfterMs;
    bool closing = true;
    int timerId = 0;

protected:
    void timerEvent(QTimerEvent *event) override;
};

QByteArray hex(const char *text);

// A measurement reply built field by field, little-endian as the meter sends
// it, with a correct checksum (the program never checks it).
QByteArray measurementReply(qint16 n, qint16 ns, qint16 k, quint8 chamber, quint8 smoke,
                            qint16 energy);

} // namespace testsupport

#endif
