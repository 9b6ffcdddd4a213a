#ifndef TESTS_METERRIG_H
#define TESTS_METERRIG_H

// A meter stand-in on 127.0.0.1:8899 and a main window connected to it.

#include <QtTest>

#include <QtNetwork>

#include "meter/frames.h"
#include "support/windowaccess.h"

namespace meterrig {

// Cuts what the host sends into command frames, keeps them in arrival order
// and answers each with what 'reply' returns for it (by default nothing).
// One connection at a time.
class MeterStandIn
{
public:
    bool listen()
    {
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *s = server.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { take(s); });
        });
        return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 8899);
    }

    std::function<QByteArray(const QByteArray &command)> reply = [](const QByteArray &) { return QByteArray(); };
    QList<QByteArray> commands;

private:
    void take(QTcpSocket *s)
    {
        buffer += s->readAll();
        int size = 0;
        while (buffer.size() >= Frames::HeaderSize
               && buffer.size() >= (size = Frames::frameSize(static_cast<unsigned char>(buffer.at(2))))) {
            commands.append(buffer.left(size));
            buffer.remove(0, size);
            s->write(reply(commands.last()));
        }
    }

    QTcpServer server;
    QByteArray buffer;
};

// Stores the stand-in's address as the remembered server, shows the window
// and waits until it is connected and polls the stand-in.
inline bool showConnected(mainwindow &w, MeterStandIn &meter)
{
    QSettings(QStringLiteral("./set.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    w.show();
    // The first discovery step asks once before the link counts, and this
    // stand-in, on the window's thread, cannot answer that: the link comes
    // with the next try, and its polls follow.
    return QTest::qWaitFor([&] {
        return MainWindowTestAccess(w).serverConnected() && meter.commands.count(Frames::readMeasurement()) >= 2;
    }, 15000);
}

} // namespace meterrig

#endif
