#ifndef TESTS_CALIBRATION_METERRIG_H
#define TESTS_CALIBRATION_METERRIG_H

// A meter stand-in on 127.0.0.1:8899 and a main window connected to it, for
// the calibration and response-time window tests.

#include <QtTest>

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

#include "app/mainwindow.h"
#include "meter/frames.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

namespace meterrig {

using testsupport::hex;

// A measurement reply carrying the given Ns (percent); the other values 0.
inline QByteArray measurementReply(float ns)
{
    return testsupport::measurementReply(0, qint16(qRound(ns * 100)), 0, 0, 0, 0);
}

// The meter behind its server: cuts what the host sends into command frames,
// keeps them in arrival order, and answers each through 'reply' on the
// connection that asked. Answers nothing while 'reply' is empty.
class MeterStandIn
{
public:
    using Reply = std::function<QByteArray(const QByteArray &command)>;

    MeterStandIn()
    {
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *s = server.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { take(s); });
        });
    }
    bool listen() { return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 8899); }

    Reply reply;

    const QList<QByteArray> &commands() const { return received; }
    int count(const QByteArray &command) const { return received.count(command); }
    bool waitFor(const QByteArray &command, int times = 1, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return count(command) >= times; }, timeoutMs);
    }
    // Writes to the connection that sent the last command.
    void send(const QByteArray &bytes)
    {
        if (dataSocket) {
            dataSocket->write(bytes);
            dataSocket->flush();
        }
    }

private:
    void take(QTcpSocket *s)
    {
        QByteArray &buffer = pending[s];
        buffer.append(s->readAll());
        while (buffer.size() >= Frames::HeaderSize) {
            const int size = Frames::frameSize(static_cast<unsigned char>(buffer.at(2)));
            if (buffer.size() < size)
                break;
            const QByteArray command = buffer.left(size);
            buffer.remove(0, size);
            received.append(command);
            dataSocket = s;
            if (reply) {
                const QByteArray answer = reply(command);
                if (!answer.isEmpty())
                    send(answer);
            }
        }
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> pending;
    QPointer<QTcpSocket> dataSocket;
    QList<QByteArray> received;
};

// Every command the window emits, with the time it left.
class CommandLog
{
public:
    struct Sent {
        qint64 atMs;
        QByteArray frame;
    };

    // The log must outlive the window.
    void watch(mainwindow &w)
    {
        clock.start();
        QObject::connect(&w, &mainwindow::writecmd, &w,
                         [this](QByteArray frame) { sent.append({clock.elapsed(), frame}); });
    }
    qint64 nowMs() const { return clock.elapsed(); }
    const QList<Sent> &all() const { return sent; }
    int indexOf(const QByteArray &frame, int from = 0) const
    {
        for (int i = from; i < sent.size(); ++i)
            if (sent.at(i).frame == frame)
                return i;
        return -1;
    }
    int count(const QByteArray &frame) const
    {
        int n = 0;
        for (const Sent &s : sent)
            n += s.frame == frame;
        return n;
    }

private:
    QElapsedTimer clock;
    QList<Sent> sent;
};

// Stores the stand-in's address as the remembered server, so the window
// connects to it at its first show without a sweep, then shows the window
// and waits until it polls the stand-in.
inline bool showConnected(mainwindow &w, MeterStandIn &meter)
{
    {
        QSettings settings(QStringLiteral("./set.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    }
    MainWindowTestAccess a(w);
    a.setNoticeDelay(600000);
    w.show();
    const int polls = meter.count(Frames::readMeasurement());
    return QTest::qWaitFor([&] { return a.serverConnected() && a.pollTimer()->isActive()
                                        && meter.count(Frames::readMeasurement()) > polls; },
                           15000);
}

} // namespace meterrig

#endif
