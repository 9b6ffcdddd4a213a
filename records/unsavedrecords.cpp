// The unsaved folder: what the database would not take when the program closed.
#include "records/recordkeeper.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
QString fileFor(const QString &folder, const QString &id)
{
    return QDir(folder).filePath(id + QStringLiteral(".json"));
}
} // namespace

bool RecordKeeper::writeUnsaved(const TestRecord &record)
{
    if (!QDir().mkpath(unsavedFolder)) {
        lastProblem = tr("无法创建文件夹 %1，检测记录 %2 未能保存")
                          .arg(QDir::toNativeSeparators(unsavedFolder), record.id);
        return false;
    }
    // Whole or not at all: a half-written file would be refused at start.
    QSaveFile file(fileFor(unsavedFolder, record.id));
    if (file.open(QIODevice::WriteOnly)
        && file.write(QJsonDocument(record.toJson()).toJson(QJsonDocument::Indented)) >= 0
        && file.commit())
        return true;
    lastProblem = tr("检测记录 %1 未能写入 %2：%3")
                      .arg(record.id, QDir::toNativeSeparators(file.fileName()), file.errorString());
    return false;
}

void RecordKeeper::takeInUnsaved()
{
    const QDir folder(unsavedFolder);
    for (const QString &name : folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        TestRecord record;
        QString error;
        QJsonParseError parse{};
        const QJsonDocument doc = file.open(QIODevice::ReadOnly)
                                      ? QJsonDocument::fromJson(file.readAll(), &parse)
                                      : QJsonDocument();
        // A file that cannot be read stays where it is, for a person to see.
        if (!doc.isObject() || !TestRecord::fromJson(doc.object(), &record, &error)
            || name != record.id + QStringLiteral(".json")) {
            lastProblem = tr("未保存的检测记录无法读取：%1 %2")
                              .arg(QDir::toNativeSeparators(file.fileName()),
                                   error.isEmpty() ? parse.errorString() : error);
            emit storageProblem(lastProblem);
            continue;
        }
        keep(record);
    }
}

void RecordKeeper::forgetUnsavedFile(const QString &id)
{
    const QString path = fileFor(unsavedFolder, id);
    if (QFile::exists(path))
        QFile::remove(path);
}
