#include "benchsupport.h"
#include "support/testrunner.h"

#include "meter/frames.h"

using namespace bench;

namespace {

QList<QByteArray> procLines(qint64 pid, const char *file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>();
}

// What a fresh process costs: from its start to its first poll after the
// meter answered its discovery check, its resident memory a second after
// that, and the font files it maps by then.
struct StartFigures {
    QVector<double> pollMs, rssMb;
    QStringList fonts;
};

void startOnce(const QString &program, StartFigures *figures)
{
    // A stand-in of this run alone, so no late byte of the last one counts.
    // It answers every measurement command as the meter does; the first
    // command is the discovery check, the second the first poll.
    testsupport::LoopbackServer meter;
    QVERIFY(meter.listen());
    qint64 pollMs = -1;
    int asked = 0;
    QElapsedTimer clock;
    QEventLoop polled;
    meter.reply = [&](const QByteArray &command) {
        if (command != Frames::readMeasurement())
            return QByteArray();
        if (++asked == 2) {
            pollMs = clock.elapsed();
            polled.quit();
        }
        return Reply;
    };
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    clock.start();
    p.start(program, QStringList());
    // An event loop, not qWaitFor, whose naps would delay the answer.
    QTimer::singleShot(10000, &polled, &QEventLoop::quit);
    polled.exec();
    QVERIFY2(pollMs >= 0, qPrintable(program + " never polled"));
    // Settled: a second of polling, as the operator first sees it.
    QEventLoop settled;
    QTimer::singleShot(1000, &settled, &QEventLoop::quit);
    settled.exec();
    figures->pollMs << double(pollMs);
    for (const QByteArray &line : procLines(p.processId(), "status"))
        if (line.startsWith("VmRSS:"))
            figures->rssMb << line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024.0;
    figures->fonts.clear();
    for (const QByteArray &line : procLines(p.processId(), "maps"))
        if (line.contains("/fonts/"))
            figures->fonts << QString::fromUtf8(line.mid(line.indexOf('/')));
    figures->fonts.removeDuplicates();
    p.kill();
    p.waitForFinished();
}

} // namespace

// The program as a fresh process against a bare Qt window.
class StartUpBench : public Case
{
    Q_OBJECT

private slots:
    void startUp();
};

// The program against a bare Qt window with the same captions in the same
// family and the program's pacing to its first poll (bench/barewindow.cpp),
// each a fresh process, in turns, against a meter stand-in on 127.0.0.1.
void StartUpBench::startUp()
{
    QSettings(QStringLiteral("set.ini"), QSettings::IniFormat).setValue(QStringLiteral("Server/IP"), QStringLiteral("127.0.0.1"));
    const QString programs[] = {QStringLiteral(OPA_HOST_PATH), QStringLiteral(OPA_BARE_PATH)};
    StartFigures figures[2];
    for (int run = 0; run < 7; ++run)
        for (int i = 0; i < 2; ++i) {
            startOnce(programs[i], &figures[i]);
            if (QTest::currentTestFailed())
                return;
        }
    const char *names[] = {"program", "bare window"};
    for (int i = 0; i < 2; ++i) {
        printSpread(QStringLiteral("%1, start to first poll").arg(names[i]), figures[i].pollMs);
        printSpread(QStringLiteral("%1, resident memory").arg(names[i]), figures[i].rssMb, "MB");
        std::printf("%s maps: %s\n", names[i], qPrintable(figures[i].fonts.join(QLatin1String(", "))));
    }
}

OPA_TEST_CLASS(StartUpBench)
#include "startupbench.moc"
