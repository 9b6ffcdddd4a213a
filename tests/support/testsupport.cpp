#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>

namespace testsupport {

LoopbackServer::LoopbackServer(QObject *parent) : QObject(parent)
{
    connect(&tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = tcp.nextPendingConnection()) {
            clients.append(s);
            connect(s, &QTcpSocket::readyRead, this, [this, s] { take(s); });
        }
    });
}

void LoopbackServer::take(QTcpSocket *client)
{
    cutter.append(client->readAll());
    QByteArray frame;
    while (cutter.next(&frame)) {
        frames.append(frame);
        if (reply)
            client->write(reply(frame));
    }
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
    connect(&timer, &QTimer::timeout, this, &MessageBoxCloser::poll);
    timer.start(5);
}

void MessageBoxCloser::poll()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && !open.contains(box)) {
            open.append(box);
            boxes.append({box->windowTitle(), box->text(), now, -1});
        }
    }
    for (int i = 0; i < open.size(); ++i) {
        if (open[i] && open[i]->isVisible()) {
            if (closing && now - boxes[i].openedAtMs >= closeAfterMs)
                open[i]->done(QMessageBox::Ok);
        } else if (boxes[i].closedAtMs < 0) {
            boxes[i].closedAtMs = now;
        }
    }
}

} // namespace testsupport
