// Plays the companion process for the shared-memory tests: reads one request
// per line on stdin and answers with one line on stdout.
//
//   hold-data             attach the data segment and keep it  -> ok | error TEXT
//   release-data          let go of it                          -> ok
//   read-data             the whole data segment, in hex        -> HEX | none
//   place SIZE HEX        make the command segment of SIZE bytes
//                         (once) and put HEX at its start       -> ok | error TEXT
//   read-cmd              the whole command segment, in hex     -> HEX | none
//   quit                                                        -> bye

#include <QByteArray>
#include <QCoreApplication>
#include <QSharedMemory>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstring>

#include "shm/shmrecord.h"

namespace {

QByteArray contents(QSharedMemory &segment)
{
    const bool held = segment.isAttached();
    if (!held && !segment.attach(QSharedMemory::ReadOnly))
        return "none";
    segment.lock();
    const QByteArray bytes(static_cast<const char *>(segment.constData()), segment.size());
    segment.unlock();
    if (!held)
        segment.detach();
    return bytes.toHex().toUpper();
}

QString place(QSharedMemory &cmd, int size, const QByteArray &bytes)
{
    if (!cmd.isAttached() && !cmd.create(size))
        return QStringLiteral("error ") + cmd.errorString();
    cmd.lock();
    std::memset(cmd.data(), 0, size_t(cmd.size()));
    std::memcpy(cmd.data(), bytes.constData(), size_t(std::min(cmd.size(), bytes.size())));
    cmd.unlock();
    return QStringLiteral("ok");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QSharedMemory data(QString::fromLatin1(ShmRecord::DataSegmentKey));
    QSharedMemory cmd(QString::fromLatin1(ShmRecord::CommandSegmentKey));
    QTextStream in(stdin);
    QTextStream out(stdout);

    QString line;
    while (in.readLineInto(&line)) {
        const QStringList words = line.simplified().split(QLatin1Char(' '));
        const QString &request = words.first();
        QString answer = QStringLiteral("error unknown request");
        if (request == QLatin1String("hold-data")) {
            answer = data.attach(QSharedMemory::ReadOnly) ? QStringLiteral("ok")
                                                          : QStringLiteral("error ") + data.errorString();
        } else if (request == QLatin1String("release-data")) {
            data.detach();
            answer = QStringLiteral("ok");
        } else if (request == QLatin1String("read-data")) {
            answer = QString::fromLatin1(contents(data));
        } else if (request == QLatin1String("place") && words.size() == 3) {
            answer = place(cmd, words.at(1).toInt(), QByteArray::fromHex(words.at(2).toLatin1()));
        } else if (request == QLatin1String("read-cmd")) {
            answer = QString::fromLatin1(contents(cmd));
        } else if (request == QLatin1String("quit")) {
            out << "bye\n";
            out.flush();
            return 0;
        }
        out << answer << '\n';
        out.flush();
    }
    return 0;
}
