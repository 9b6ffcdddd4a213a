#include "meter/recorder.h"

#include <QDir>
#include <QFileInfo>

Recorder::Recorder(QObject *parent) : QObject(parent)
{
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, &Recorder::flush);
}

Recorder::~Recorder()
{
    // No signal from a dying object: whoever listened may be gone already.
    blockSignals(true);
    stop();
}

QString Recorder::pathFor(const QDateTime &start)
{
    return QStringLiteral("records/%1.csv").arg(start.toString(QStringLiteral("yyyyMMdd-hhmmss")));
}

QString Recorder::header()
{
    return QStringLiteral("time,N,Ns,K,chamber_C,smoke_C,energy");
}

QString Recorder::row(const QDateTime &time, const Measurement::Reading &r)
{
    const QChar comma(QLatin1Char(','));
    QString line = time.date().toString(Qt::ISODate) + QLatin1Char('T')
                   + time.time().toString(Qt::ISODateWithMs) + comma + QString::number(r.N) + comma
                   + QString::number(r.Ns) + comma;
    if (r.hasK) {
        line += QString::number(r.K) + comma + QString::number(r.chamberTemp) + comma
                + QString::number(r.smokeTemp) + comma;
        if (r.energyAccepted)
            line += QString::number(r.energy);
    } else {
        line += QStringLiteral(",,,");
    }
    return line;
}

bool Recorder::start(const QString &path)
{
    stop();
    error.clear();
    rows = 0;
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("无法创建文件夹 %1").arg(folder);
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = QStringLiteral("无法打开 %1：%2").arg(path, file.errorString());
        return false;
    }
    out.setDevice(&file);
    // Restarting within the same second appends to that second's file.
    if (file.isSequential() || file.size() == 0) {
        out << header() << '\n';
        dirty = true;
    }
    takeUtcOffset();
    flushTimer.start();
    emit started();
    return true;
}

void Recorder::stop()
{
    if (!file.isOpen())
        return;
    flush();
    if (!file.isOpen())  // the last flush failed and has stopped already
        return;
    flushTimer.stop();
    out.setDevice(nullptr);
    file.close();
    emit stopped(QString());
}

void Recorder::takeUtcOffset()
{
    utcOffsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
}

void Recorder::record(const Measurement::Reading &reading)
{
    if (!file.isOpen())
        return;
    // The local time zone lookup costs ten times the rest of a row, too much
    // for a burst of replies; the offset is taken at start and every flush,
    // so a daylight-saving change shows within a second.
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(
        QDateTime::currentMSecsSinceEpoch() + utcOffsetMs, Qt::UTC);
    out << row(local, reading) << '\n';
    ++rows;
    dirty = true;
    // The stream writes through by itself once its buffer fills.
    if (out.status() != QTextStream::Ok)
        fail(file.errorString());
}

void Recorder::flush()
{
    takeUtcOffset();
    if (!dirty || !file.isOpen())
        return;
    out.flush();
    dirty = false;
    if (out.status() != QTextStream::Ok)
        fail(file.errorString());
}

void Recorder::fail(const QString &message)
{
    error = QStringLiteral("写入 %1 失败：%2").arg(file.fileName(), message);
    flushTimer.stop();
    out.setDevice(nullptr);
    out.resetStatus();
    file.close();
    emit stopped(error);
}
