#ifndef STATION_STATIONLINK_H
#define STATION_STATIONLINK_H

#include <QObject>
#include <QString>

#include <memory>

#include "config/stationsettings.h"
#include "station/forwarder.h"

namespace station {

// What the window keeps of the station's server: the forwarder of the
// lane's queue, and its state as the header strip shows it. With no server
// set ([Database] ServerHost empty) it does nothing and says nothing.
// Lives on the window's thread; the forwarder works on its own.
class StationLink : public QObject
{
    Q_OBJECT

public:
    StationLink(const settings::StationServer &server, const QString &laneDb, QObject *parent = nullptr);
    // With the forwarder's pauses and time-outs given, for tests and figures.
    explicit StationLink(const ForwardOptions &options, QObject *parent = nullptr);
    ~StationLink() override;

    bool isActive() const { return forwarder != nullptr; }
    // "记录已同步", "待上传 N 条", "数据库连接失败：" and the reason, after
    // "N 条记录被站端拒绝" while records are set aside; empty before the
    // first look at the queue and when there is no server. Made when asked,
    // so that it is in the language shown now.
    QString statusText() const;
    // The whole status, whether the connection is encrypted, and each
    // record set aside with its reason, one a line.
    QString toolTipText() const;
    int refusedCount() const { return refusedIds.size(); }

public slots:
    // Another try at once, e.g. when a record was stored or the database
    // was moved aside.
    void tryNow();
    // A server set anew (none: forwarding stops), connected to at once.
    void setServer(const settings::StationServer &server);

signals:
    void statusChanged(const QString &text);

private:
    enum class State { Unknown, Synced, Pending, Failed };
    void startForwarder();
    void show(State state, int pending, const QString &reason);
    QString stateText() const;

    ForwardOptions options;
    std::unique_ptr<Forwarder> forwarder;
    State state = State::Unknown;
    int pendingCount = 0;
    QString failure;
    QStringList refusedIds, refusedReasons;
    int encrypted = -1;  // -1: not connected yet
};

} // namespace station

#endif
