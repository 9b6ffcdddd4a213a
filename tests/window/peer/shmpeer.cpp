// Plays the companion process for tst_Companion: one request a line on
// stdin, one answer a line on stdout.
//
//   read-data | read-cmd   the whole segment in hex, or "none"
//   place HEX              make the command segment (32 bytes, once), put HEX
//                          at its start and zeros after it               -> ok

#include <QCoreApplication>
#include <QSharedMemory>
#include <QTextStream>

#include <cstring>

#include "shm/shmrecord.h"

namespace {

QByteArray contents(QSharedMemory &segment)
{
    // Holding the data segment would keep the program from making it anew.
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QSharedMemory data(QString::fromLatin1(ShmRecord::DataSegmentKey));
    QSharedMemory cmd(QString::fromLatin1(ShmRecord::CommandSegmentKey));
    QTextStream in(stdin), out(stdout);
    for (QString line; in.readLineInto(&line); out.flush()) {
        const QByteArray bytes = QByteArray::fromHex(line.section(' ', 1).toLatin1()).left(32);
        if (line.startsWith("read-"))
            out << contents(line == "read-data" ? data : cmd) << '\n';
        else if (cmd.isAttached() || cmd.create(32)) {
            cmd.lock();
            std::memset(cmd.data(), 0, 32);
            std::memcpy(cmd.data(), bytes.constData(), size_t(bytes.size()));
            cmd.unlock();
            out << "ok\n";
        }
    }
    return 0;
}
