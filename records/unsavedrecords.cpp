// The unsaved folder: every record on its way to the database, and what the
// database would not take when the program ended.
#include "records/recordkeeper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The new name must reach the disk too, or a power cut could leave the
// folder without the file that was synced.
void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder)
#endif
}

} // namespace

QString RecordKeeper::unsavedFileFor(const QString &folder, const QString &id)
{
    return QDir(folder).filePath(id + QStringLiteral(".json"));
}

QString RecordKeeper::writeUnsavedFile(const QString &folder, const TestRecord &record)
{
    if (!QDir().mkpath(folder))
        return tr("无法创建文件夹 %1，检测记录 %2 未能保存")
            .arg(QDir::toNativeSeparators(folder), record.id);
    // Whole or not at all: QSaveFile syncs the file before it takes the name.
    QSaveFile file(unsavedFileFor(folder, record.id));
    if (file.open(QIODevice::WriteOnly)
        && file.write(QJsonDocument(record.toJson()).toJson(QJsonDocument::Indented)) >= 0
        && file.commit()) {
        syncFolder(folder);
        return QString();
    }
    return tr("检测记录 %1 未能写入 %2：%3")
        .arg(record.id, QDir::toNativeSeparators(file.fileName()), file.errorString());
}

bool RecordKeeper::writeUnsaved(const TestRecord &record)
{
    // Written ahead already, unless that failed.
    if (QFile::exists(unsavedFileFor(unsavedFolder, record.id)))
        return true;
    const QString error = writeUnsavedFile(unsavedFolder, record);
    if (!error.isEmpty())
        lastProblem = error;
    return error.isEmpty();
}

void RecordKeeper::takeInUnsaved()
{
    const QDir folder(unsavedFolder);
    for (const QString &name : folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        takeIn(folder.filePath(name));
}

// A file is taken in only when its content is what was hashed: a changed
// or damaged one never reaches the database, where it would look genuine.
bool RecordKeeper::takeIn(const QString &path)
{
    QFile file(path);
    QJsonParseError parse{};
    const QJsonDocument doc = file.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(file.readAll(), &parse)
                                  : QJsonDocument();
    file.close();
    TestRecord record;
    QString error;
    if (!doc.isObject() || !TestRecord::fromJson(doc.object(), &record, &error)) {
        reject(path, error.isEmpty() ? parse.errorString() : error);
        return false;
    }
    if (TestRecord::hashOf(doc.object()) != record.hash || !record.hashMatches()
        || QFileInfo(path).fileName() != record.id + QStringLiteral(".json")) {
        reject(path, tr("内容与校验值不符"));
        return false;
    }
    for (const TestRecord &r : pending)
        if (r.id == record.id)
            return true;
    pending << record;
    submit(record);
    return true;
}

void RecordKeeper::reject(const QString &path, const QString &why)
{
    const QDir rejected(QDir(unsavedFolder).filePath(QStringLiteral("rejected")));
    const QString name = QFileInfo(path).fileName();
    QString target = rejected.filePath(name);
    for (int n = 2; QFile::exists(target); ++n)
        target = rejected.filePath(QStringLiteral("%1-%2").arg(n).arg(name));
    if (!QDir().mkpath(rejected.path()) || !QFile::rename(path, target)) {
        say(tr("未保存的检测记录 %1 未存入数据库（%2），也无法移至 %3")
                .arg(QDir::toNativeSeparators(path), why, QDir::toNativeSeparators(rejected.path())));
        return;
    }
    say(tr("未保存的检测记录 %1 未存入数据库（%2），已移至 %3")
            .arg(name, why, QDir::toNativeSeparators(target)));
}

void RecordKeeper::forgetUnsavedFile(const QString &id)
{
    // After the writes queued before it, so a file written ahead never
    // comes back once its record is stored.
    const QString path = unsavedFileFor(unsavedFolder, id);
    QtConcurrent::run(&journal, [path] { QFile::remove(path); });
}
