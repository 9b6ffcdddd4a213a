#include "simulator/ptyline.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void makeRaw(int descriptor)
{
    termios t {};
    // Not a terminal (a plain pipe or file): nothing to set.
    if (tcgetattr(descriptor, &t) != 0)
        return;
    cfmakeraw(&t);
    tcsetattr(descriptor, TCSANOW, &t);
}

} // namespace

PtyLine::PtyLine(QObject *parent) : QIODevice(parent) {}

PtyLine::~PtyLine()
{
    close();
}

bool PtyLine::open(const QString &path, QString *error)
{
    const bool ok = QFileInfo::exists(path) ? openDevice(path, error) : openPseudoTerminal(path, error);
    if (!ok)
        return false;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyLine::readyRead);
    return QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

bool PtyLine::openDevice(const QString &path, QString *error)
{
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = systemError();
        return false;
    }
    makeRaw(fd);
    programPath = path;
    return true;
}

bool PtyLine::openPseudoTerminal(const QString &link, QString *error)
{
    termios raw {};
    cfmakeraw(&raw);
    if (openpty(&fd, &heldOpen, nullptr, &raw, nullptr) != 0) {
        *error = systemError();
        return false;
    }
    programPath = QString::fromLocal8Bit(ttyname(heldOpen));
    if (link.isEmpty())
        return true;
    // A link left by an earlier run points at a pseudo-terminal long gone.
    if (QFileInfo(link).isSymLink() && !QFileInfo::exists(link))
        QFile::remove(link);
    if (!QFile::link(programPath, link)) {
        *error = QStringLiteral("cannot make the link %1 to %2").arg(link, programPath);
        return false;
    }
    madeLink = link;
    return true;
}

void PtyLine::close()
{
    delete notifier;
    notifier = nullptr;
    for (int *descriptor : {&fd, &heldOpen})
        if (*descriptor >= 0) {
            ::close(*descriptor);
            *descriptor = -1;
        }
    if (!madeLink.isEmpty())
        QFile::remove(madeLink);
    madeLink.clear();
    QIODevice::close();
}

qint64 PtyLine::bytesAvailable() const
{
    int waiting = 0;
    if (fd >= 0)
        ioctl(fd, FIONREAD, &waiting);
    return QIODevice::bytesAvailable() + waiting;
}

int PtyLine::unreadByProgram() const
{
    int waiting = 0;
    if (heldOpen >= 0)
        ioctl(heldOpen, FIONREAD, &waiting);
    return waiting;
}

qint64 PtyLine::readData(char *data, qint64 maxSize)
{
    const ssize_t got = ::read(fd, data, size_t(maxSize));
    if (got >= 0)
        return got;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

qint64 PtyLine::writeData(const char *data, qint64 size)
{
    qint64 written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size_t(size - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // A line nobody reads fills up: what does not fit is lost, as on a real wire.
            break;
        }
        if (n < 0)
            return written > 0 ? written : -1;
        written += n;
    }
    return size;
}
