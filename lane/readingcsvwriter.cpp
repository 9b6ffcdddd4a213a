#include "lane/readingcsvwriter.h"

ReadingCsvWriter::ReadingCsvWriter(QObject *parent) : QObject(parent)
{
    connect(&csv, &CsvFile::failed, this,
            [this](const QString &reason) { emit stopped(csv.fileName(), reason); });
}

QString ReadingCsvWriter::pathFor(const QDateTime &start)
{
    return QStringLiteral("records/%1.csv").arg(start.toString(QStringLiteral("yyyyMMdd-hhmmss")));
}

QString ReadingCsvWriter::header()
{
    return QStringLiteral("time,N,Ns,K,chamber_C,smoke_C,energy");
}

QString ReadingCsvWriter::row(const LaneReading &reading)
{
    return CsvFile::timeText(reading.time, true) + QLatin1Char(',')
           + reading.shownTexts().join(QLatin1Char(','));
}

bool ReadingCsvWriter::start(const QString &path)
{
    stop();
    rows = 0;
    if (!csv.open(path, header()))
        return false;
    emit started(path);
    return true;
}

void ReadingCsvWriter::stop()
{
    if (!csv.isOpen())
        return;
    const QString path = csv.fileName();
    csv.close();
    // A failing last flush has reported itself.
    if (csv.errorString().isEmpty())
        emit stopped(path, QString());
}

void ReadingCsvWriter::record(const LaneReading &reading)
{
    if (csv.append(row(reading)))
        ++rows;
}
