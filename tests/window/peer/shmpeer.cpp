// Plays the companion process for tst_Window::companion: one request a
// line on stdin, one answer a line on stdout.
//
//   read-data | read-cmd   the whole segment in hex, or "none"; the segment
//                          stays attached after
//   place HEX              make the command segment (32 bytes, once), put HEX
//                          at its start and zeros after it       -> ok

#include <QCoreApplication>
#include <QSharedMemory>
#include <QTextStream>

#include <algorithm>

#include "shm/shmrecord.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QSharedMemory data(QString::fromLatin1(ShmRecord::DataSegmentKey));
    QSharedMemory cmd(QString::fromLatin1(ShmRecord::CommandSegmentKey));
    QTextStream in(stdin), out(stdout);
    for (QString line; in.readLineInto(&line);) {
        const bool place = line.startsWith(QLatin1String("place "));
        QSharedMemory &segment = line == QLatin1String("read-data") ? data : cmd;
        // Once read, a segment stays attached, as the companion keeps it.
        const bool held = segment.isAttached();
        QByteArray answer = "none";
        if (held || (place ? cmd.create(32) : segment.attach())) {
            segment.lock();
            const QByteArray bytes = QByteArray::fromHex(line.mid(6).toLatin1()).leftJustified(32, '\0', true);
            if (place)
                std::copy(bytes.begin(), bytes.end(), static_cast<char *>(segment.data()));
            const QByteArray contents(static_cast<const char *>(segment.constData()), segment.size());
            answer = place ? QByteArray("ok") : contents.toHex().toUpper();
            segment.unlock();
        }
        out << answer << '\n';
        out.flush();
    }
}
