#include <QtTest>

#include "support/testrunner.h"

#include "config/meterlinksettings.h"
#include "config/settingsform.h"
#include "meter/frames.h"
#include "meter/measurementframe.h"
#include "net/framecutter.h"
#include "net/linkkeeper.h"
#include "net/meterlink.h"
#include "net/serialclient.h"
#include "simulator/ptyline.h"
#include "support/testsupport.h"

using State = LinkKeeper::State;

// The meter on a serial port: the link against a pseudo-terminal this test
// makes (the test holds the meter's end), and [Meter] in set.ini.
class tst_SerialLink : public QObject
{
    Q_OBJECT

    // The meter's end of the line, linked at a fixed path in a temporary
    // folder so that it can vanish and come back under the same name, and
    // answering each poll with 'reply' while 'answering'.
    struct Meter {
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("ttyMeter"));
        std::unique_ptr<PtyLine> line;
        FrameCutter commands{Frames::HostStart, Frames::LongestData, FrameCutter::Checksum::Unchecked};
        int polls = 0;
        bool answering = true;
        QByteArray reply = MeasurementFrame::encode({1234, 100, 300, 25, 30, 2048});

        bool plugIn()
        {
            line = std::make_unique<PtyLine>();
            QString error;
            if (!line->open(path, &error))
                return false;
            QObject::connect(line.get(), &QIODevice::readyRead, line.get(), [this] {
                commands.append(line->readAll());
                QByteArray command;
                while (commands.next(&command))
                    if (command == Frames::readMeasurement() && ++polls && answering)
                        line->write(reply);
            });
            return true;
        }
        void unplug() { line.reset(); }
    };

    // The lane's link on the meter's port, polled as the window polls it,
    // its cycle ticked by the test.
    struct Lane {
        MeterLink link;
        LinkKeeper *keeper = link.keeper();
        QList<QByteArray> frames;
        explicit Lane(const QString &port)
        {
            keeper->setManualTicks(true);
            QObject::connect(&link, &MeterLink::frameReceived, &link, [this](const QByteArray &f) { frames << f; });
            QObject::connect(link.pollTimer(), &QTimer::timeout, &link, [this] { link.send(Frames::readMeasurement()); });
            SerialLine line;
            line.port = port;
            link.useSerial(line);
            link.startPolling();
        }
        bool reaches(State s, int ms = 5000) { return QTest::qWaitFor([&] { return keeper->state() == s; }, ms); }
    };

private slots:
    // Polling: every reply, however the line delivers it, is one frame.
    void replies_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("dropped");
        const QByteArray reply = MeasurementFrame::encode({1234, 100, 300, 25, 30, 2048});
        QByteArray corrupt = reply;
        corrupt.back() = char(corrupt.back() + 1);
        QTest::newRow("whole") << QList<QByteArray>{reply} << 1 << 0;
        QTest::newRow("split across reads") << QList<QByteArray>{reply.left(3), reply.mid(3, 6), reply.mid(9)} << 1 << 0;
        QTest::newRow("one byte at a time") << [&] {
            QList<QByteArray> bytes;
            for (char c : reply)
                bytes << QByteArray(1, c);
            return bytes;
        }() << 1 << 0;
        QTest::newRow("a stray start byte") << QList<QByteArray>{QByteArray(1, Frames::MeterStart), reply} << 1 << 0;
        QTest::newRow("line noise, then two replies") << QList<QByteArray>{QByteArray("\x00\xff\x13", 3) + reply + reply} << 2 << 0;
        QTest::newRow("a wrong checksum") << QList<QByteArray>{corrupt, reply} << 1 << 1;
    }
    void replies()
    {
        QFETCH(QList<QByteArray>, pieces); QFETCH(int, frames); QFETCH(int, dropped);
        Meter meter;
        meter.answering = false;
        QVERIFY(meter.plugIn());
        Lane lane(meter.path);
        QVERIFY(QTest::qWaitFor([&] { return meter.polls >= 1; }, 5000));
        for (const QByteArray &piece : pieces) {
            meter.line->write(piece);
            // Each piece is read before the next is written.
            QVERIFY(QTest::qWaitFor([&] { return meter.line->unreadByProgram() == 0; }, 5000));
        }
        QTRY_COMPARE(lane.frames.size(), frames);
        QVERIFY(lane.frames.contains(meter.reply));
        QCOMPARE(lane.link.droppedFrames(), dropped);
        QCOMPARE(lane.keeper->state(), State::Connected);
        QCOMPARE(lane.keeper->address(), meter.path);
    }

    // The port counts as the meter only once the meter answers on it. An
    // adapter unplugged and plugged in again: the lost link, then the
    // readings back within about a second of the port's return.
    void silentThenVanishesAndReturns()
    {
        Meter meter;
        meter.answering = false;
        QVERIFY(meter.plugIn());
        Lane lane(meter.path);
        QTRY_VERIFY_WITH_TIMEOUT(lane.keeper->problem().contains(QStringLiteral("没有应答")), 6000);
        QCOMPARE(lane.keeper->state(), State::Looking);
        meter.answering = true;
        QVERIFY(lane.reaches(State::Connected));
        QCOMPARE(lane.keeper->problem(), QString());

        meter.unplug();
        QVERIFY(lane.reaches(State::Retrying));
        lane.keeper->onTick();
        QVERIFY(lane.keeper->problem().contains(QStringLiteral("不存在")));
        QVERIFY(!lane.link.serialClient()->isOpen());
        QVERIFY(meter.plugIn());
        lane.keeper->onTick();
        QVERIFY(lane.reaches(State::Connected, 1500));
        const int before = lane.frames.size();
        QTRY_VERIFY(lane.frames.size() > before);
    }

    // A port that cannot be opened is named with the cause and tried again
    // each tick until it opens.
    void portCannotBeOpened_data()
    {
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("cause");
        QTest::newRow("no such port") << false << QStringLiteral("不存在");
        QTest::newRow("open in another program") << true << QStringLiteral("已被其他程序占用");
    }
    void portCannotBeOpened()
    {
        QFETCH(bool, held); QFETCH(QString, cause);
        Meter meter;
        SerialClient other;
        if (held) {
            QVERIFY(meter.plugIn());
            other.setLine(SerialLine{meter.path});
            QVERIFY(other.open());
        }
        Lane lane(meter.path);
        QCOMPARE(lane.keeper->state(), State::Looking);
        QVERIFY2(lane.keeper->problem().contains(cause) && lane.keeper->problem().contains(meter.path),
                 qPrintable(lane.keeper->problem()));
        lane.keeper->onTick();
        QCOMPARE(lane.keeper->state(), State::Looking);

        other.close();
        if (!held)
            QVERIFY(meter.plugIn());
        lane.keeper->onTick();
        QVERIFY(lane.reaches(State::Connected));
    }

    // [Meter] as read from set.ini: each bad key falls back alone.
    void meterSection_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("line");  // port baud bits parity stop flow
        QTest::newRow("serial, defaults") << "Link=serial\nPort=/dev/ttyUSB0\n" << true
                                          << "/dev/ttyUSB0 9600 8 none 1 none";
        QTest::newRow("every key") << "Link=serial\nPort=COM3\nBaud=19200\nDataBits=7\nParity=Even\nStopBits=2\nFlowControl=hardware\n"
                                   << true << "COM3 19200 7 even 2 hardware";
        QTest::newRow("bad keys alone fall back") << "Link=serial\nPort=ttyS0\nBaud=fast\nDataBits=9\nParity=odd\nStopBits=3\n"
                                                  << true << "ttyS0 9600 8 odd 1 none";
        QTest::newRow("an unknown link is the network") << "Link=usb\nPort=ttyS0\n" << false << "ttyS0 9600 8 none 1 none";
    }
    void meterSection()
    {
        QFETCH(QString, section); QFETCH(bool, serial); QFETCH(QString, line);
        testsupport::ScopedWorkDir work;
        QVERIFY(testsupport::writeFile(work.filePath(QStringLiteral("set.ini")), ("[Meter]\n" + section).toUtf8()));
        const settings::MeterLinkSettings m = settings::storedMeterLink();
        QCOMPARE(m.serial, serial);
        const SerialLine &l = m.line;
        QCOMPARE(QStringList({l.port, QString::number(l.baud), QString::number(l.dataBits), l.parity, l.stopBits, l.flowControl}).join(' '), line);
    }

    // The dialog's form: a serial link needs a port; the line is stored
    // only when it changed, and a save says so.
    void formKeepsTheLine()
    {
        testsupport::ScopedWorkDir work;
        settings::SettingsForm form = settings::SettingsForm::load();
        form.meterSerial = true;
        QCOMPARE(form.validate().keys(), {settings::SettingsForm::SerialPort});
        form.serialLine.port = QStringLiteral(" /dev/ttyUSB0 ");
        form.serialLine.baud = 10;
        QCOMPARE(form.validate().keys(), {settings::SettingsForm::SerialBaud});
        form.serialLine.baud = 115200;
        QVERIFY(form.validate().isEmpty());
        QCOMPARE(form.save(), QString());
        const settings::SettingsForm saved = settings::SettingsForm::load();
        QCOMPARE(saved.serialLine.port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(saved.serialLine.baud, 115200);
        QVERIFY(saved.changesFrom(settings::SettingsForm()) & settings::SettingsForm::MeterLinkChange);
        QVERIFY(!(saved.changesFrom(saved) & settings::SettingsForm::MeterLinkChange));
    }
};

OPA_TEST_CLASS(tst_SerialLink)
#include "seriallink.moc"
