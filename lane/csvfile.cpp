#include "lane/csvfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

CsvFile::CsvFile(QObject *parent) : QObject(parent)
{
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, &CsvFile::flush);
}

CsvFile::~CsvFile()
{
    // No signal from a dying object: whoever listened may be gone already.
    blockSignals(true);
    close();
}

bool CsvFile::open(const QString &path, const QString &header, bool byteOrderMark)
{
    close();
    error.clear();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = tr("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = tr("无法打开 %1：%2").arg(path, file.errorString());
        return false;
    }
    out.setDevice(&file);
    out.setCodec("UTF-8");
    // Opening the same file again (a restart within its second) adds to it.
    if (file.isSequential() || file.size() == 0) {
        if (byteOrderMark && !file.isSequential())
            out << QChar(QChar::ByteOrderMark);
        out << header << '\n';
        dirty = true;
    }
    flushTimer.start();
    return true;
}

bool CsvFile::append(const QString &line)
{
    if (!file.isOpen())
        return false;
    out << line << '\n';
    dirty = true;
    // The stream writes through by itself once its buffer fills.
    if (out.status() == QTextStream::Ok)
        return true;
    fail();
    return false;
}

bool CsvFile::flush()
{
    if (!file.isOpen())
        return false;
    if (!dirty)
        return true;
    out.flush();
    dirty = false;
    if (out.status() == QTextStream::Ok && file.flush())
        return true;
    fail();
    return false;
}

void CsvFile::close()
{
    if (!flush())
        return;  // never open, or the last flush failed and closed it
    flushTimer.stop();
    out.setDevice(nullptr);
    file.close();
}

void CsvFile::fail()
{
    error = tr("写入 %1 失败：%2").arg(file.fileName(), file.errorString());
    flushTimer.stop();
    out.setDevice(nullptr);
    out.resetStatus();
    file.close();
    emit failed(error);
}

QString CsvFile::timeText(const QDateTime &time, bool ms)
{
    return time.date().toString(Qt::ISODate) + QLatin1Char('T')
           + time.time().toString(ms ? Qt::ISODateWithMs : Qt::ISODate);
}

bool CsvFile::appendOnce(const QString &path, const QString &header, const QString &line,
                         QString *error, bool byteOrderMark)
{
    CsvFile csv;
    const bool written = csv.open(path, header, byteOrderMark) && csv.append(line) && csv.flush();
    if (!written)
        *error = csv.errorString();
    csv.close();
    return written;
}
