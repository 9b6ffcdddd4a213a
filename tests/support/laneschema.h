#ifndef TESTS_LANESCHEMA_H
#define TESTS_LANESCHEMA_H

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

namespace testsupport {

// A lane database laid out as the records contract fixes it (the tables
// 'records' and 'forward_queue'), made here so the forwarder can be tested
// before the lane's own record store and it are built together; that store
// takes this helper's place then.
class LaneDb
{
public:
    explicit LaneDb(const QString &path);
    ~LaneDb();
    LaneDb(const LaneDb &) = delete;
    LaneDb &operator=(const LaneDb &) = delete;

    bool isOpen() const { return open; }
    QString path() const { return file; }
    // Stores the record and queues it in one transaction, as the lane does.
    bool add(const QJsonObject &record);
    bool exec(const QString &sql);
    int pending();
    // Queued record ids in queue order, and those the server took.
    QStringList queuedIds();
    QStringList sentIds();
    QString lastError(const QString &recordId);

private:
    QStringList ids(const QString &sql);

    QString file;
    QString name;
    bool open = false;
};

// A complete record of the contract's shape, hash included; 'n' varies the
// numbers so that records differ.
QJsonObject makeRecord(const QString &plate, const QString &vin, const QDateTime &started,
                       const QString &station = QStringLiteral("St1"), const QString &lane = QStringLiteral("L1"),
                       int n = 0);

} // namespace testsupport

#endif
