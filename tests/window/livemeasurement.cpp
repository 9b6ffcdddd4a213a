#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using testsupport::LoopbackServer;

namespace {

// The meter's answer to poll number 'i': every value follows the count, so
// the form shows which reply it last decoded.
QByteArray replyNumber(int i)
{
    const auto raw = qint16(i * 100);
    return testsupport::measurementReply(raw, raw, raw, quint8(20 + i % 50), quint8(30 + i % 50),
                                         qint16(i * 10));
}

// A meter behind its server: answers every whole poll with the next reply,
// and counts what it received that was not a poll.
class AnsweringMeter : public QObject
{
public:
    explicit AnsweringMeter(LoopbackServer &server) : server(server)
    {
        connect(&server, &LoopbackServer::bytesArrived, this, [this](const QByteArray &data) {
            pending += data;
            const QByteArray poll = QByteArray::fromHex("213300AC");
            while (pending.size() >= poll.size()) {
                if (pending.startsWith(poll))
                    this->server.send(replyNumber(++polls));
                else
                    ++strays;
                pending.remove(0, poll.size());
            }
        });
    }
    int polls = 0;
    int strays = 0;

private:
    LoopbackServer &server;
    QByteArray pending;
};

} // namespace

// The whole road of a measurement over loopback: poll, reply, cut, decode, show.
class tst_LiveMeasurement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void labelsFollowTheMeter();

private:
    testsupport::ScopedWorkDir workDir;
};

void tst_LiveMeasurement::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QStringLiteral("127.0.0.1"); });
}

void tst_LiveMeasurement::labelsFollowTheMeter()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    AnsweringMeter meter(server);

    // The window is not shown, so no discovery runs; the client is pointed
    // at the stand-in directly and polling starts as on a found server.
    mainwindow w;
    MainWindowTestAccess a(w);
    a.client()->connectToServer(QStringLiteral("127.0.0.1"));
    QVERIFY(server.waitForClients(1));
    a.pollTimer()->start(mainwindow::PollingIntervalMs);
    QCOMPARE(a.pollTimer()->interval(), 100);

    auto &ui = a.ui();
    const auto shownN = [&] { return ui.label_Nt->text().toInt(); };
    QVERIFY(QTest::qWaitFor([&] { return shownN() >= 10; }, 10000));
    a.pollTimer()->stop();
    // The answer to the last poll may still be on its way.
    QVERIFY(QTest::qWaitFor([&] { return shownN() == meter.polls; }, 5000));

    const int n = shownN();
    const QString number = QString::number(n);
    QCOMPARE(a.lastMeasurement(), replyNumber(n));
    QCOMPARE(ui.label_Nmax->text(), number);
    QCOMPARE(ui.label_Nst->text(), number);
    QCOMPARE(ui.label_resNs->text(), number);
    QCOMPARE(ui.label_Nsmax->text(), number);
    QCOMPARE(ui.label_Kt->text(), number);
    QCOMPARE(ui.label_Kmax->text(), number);
    QCOMPARE(ui.label_airroomt->text(), QString::number(20 + n % 50));
    QCOMPARE(ui.label_smoket->text(), QString::number(30 + n % 50));
    QCOMPARE(ui.label_Ad->text(), QString::number(n * 10));

    // Cleared while replies keep coming: "0" until the next one, which is
    // larger than every earlier one and so becomes each maximum.
    a.pollTimer()->start(mainwindow::PollingIntervalMs);
    ui.clearButton->click();
    QCOMPARE(ui.label_Nmax->text(), QStringLiteral("0"));
    QCOMPARE(ui.label_Nsmax->text(), QStringLiteral("0"));
    QCOMPARE(ui.label_Kmax->text(), QStringLiteral("0"));
    QCOMPARE(ui.label_Nt->text(), number);
    QVERIFY(QTest::qWaitFor([&] { return ui.label_Nmax->text() != QLatin1String("0"); }, 5000));
    a.pollTimer()->stop();
    QVERIFY(ui.label_Nmax->text().toInt() > n);
    QCOMPARE(ui.label_Nsmax->text(), ui.label_Nmax->text());
    QCOMPARE(ui.label_Kmax->text(), ui.label_Nmax->text());

    // One poll per tick and nothing else on the wire.
    QCOMPARE(meter.strays, 0);
}

OPA_TEST_CLASS(tst_LiveMeasurement)
#include "livemeasurement.moc"
