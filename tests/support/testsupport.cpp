#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QTest>
#include <QTimerEvent>

#include "meter/measurementframe.h"

namespace testsupport {

ScopedWorkDir::ScopedWorkDir() : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(previous);
}

bool LoopbackServer::listen(const QString &address, quint16 port)
{
    connect(&tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = tcp.nextPendingConnection()) {
            clients.append(s);
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                const QByteArray data = s->readAll();
                bytes.append(data);
                emit bytesArrived(data);
            });
        }
    }, Qt::UniqueConnection);
    return tcp.listen(QHostAddress(address), port);
}

void LoopbackServer::close()
{
    tcp.close();
    for (const auto &c : clients)
        if (c)
            c->abort();
}

bool LoopbackServer::waitForClients(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return clients.size() >= count; }, timeoutMs);
}

bool LoopbackServer::waitForReceived(int size, int timeoutMs)
{
    return QTest::qWaitFor([&] { return bytes.size() >= size; }, timeoutMs);
}

void LoopbackServer::send(const QByteArray &data)
{
    if (QTcpSocket *s = lastClient()) {
        s->write(data);
        s->flush();
    }
}

MessageBoxCloser::MessageBoxCloser(int closeAfterMs, QObject *parent)
    : QObject(parent), closeAfterMs(closeAfterMs)
{
    timerId = startTimer(5);
}

MessageBoxCloser::~MessageBoxCloser()
{
    killTimer(timerId);
}

void MessageBoxCloser::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == timerId)
        poll();
}

void MessageBoxCloser::poll()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->isVisible())
            continue;
        bool known = false;
        for (const auto &p : open)
            known = known || p == box;
        if (!known) {
            open.append(box);
            boxes.append({box->windowTitle(), box->text(), now, -1});
        }
    }
    for (int i = 0; i < open.size(); ++i) {
        QPointer<QMessageBox> box = open.at(i);
        Seen &rec = boxes[i];  // records and boxes are appended together
        if (!box || !box->isVisible()) {
            if (rec.closedAtMs < 0)
                rec.closedAtMs = now;
            continue;
        }
        if (closing && now - rec.openedAtMs >= closeAfterMs)
            box->done(QMessageBox::Ok);
    }
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray measurementReply(qint16 n, qint16 ns, qint16 k, quint8 chamber, quint8 smoke,
                            qint16 energy)
{
    return MeasurementFrame::encode({n, ns, k, chamber, smoke, energy});
}

} // namespace testsupport
