#ifndef NET_SERVERSWEEP_H
#define NET_SERVERSWEEP_H

#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// Looks for meters on the local /24: start() queues a sweep on the global
// thread pool and returns at once; the sweep looks up the local address
// itself, probes every host at once and ends with ended(), naming every
// host that answered the read-measurement command. Sweeps run one after
// another, never side by side. It takes none of the meters it finds:
// whoever decides that one is ours tells the data link.
class ServerSweep : public QObject
{
    Q_OBJECT

public:
    explicit ServerSweep(QObject *parent = nullptr);
    ~ServerSweep() override;

    void start();
    // Whether a sweep is queued or running.
    bool isSweeping() const;

    // Tests only: the sweep takes 'lookup''s answer for the local address
    // instead of asking the system, so it stays on loopback. Empty text
    // from 'lookup' means the host has no IPv4 address. An empty function
    // restores the real lookup. Applies to every sweep of the process.
    static void overrideLocalAddress(std::function<QString()> lookup);
    // Tests only: every probe of a sweep waits 'ms' instead of 50 ms; 0
    // restores the usual wait.
    static void overrideProbeWait(int ms);

signals:
    // A sweep has ended (or found no local address); 'meters' answered,
    // lowest address first.
    void ended(const QStringList &meters);

private:
    // What a sweep on a pool thread shares with its owner. Each sweep holds
    // its own reference, so it never reaches into a destroyed owner: the
    // destructor raises 'stopped' and clears 'owner', and a sweep announces
    // its result only through 'owner' while holding 'ownerLock'.
    struct Shared
    {
        QMutex ownerLock;
        ServerSweep *owner = nullptr;
        std::atomic<bool> stopped{false};
        QMutex runLock;  // held by the sweep that runs
        std::atomic<int> queued{0};  // queued or running
    };

    static QString localAddress();
    // The sweep task, on a pool thread.
    static void run(const std::shared_ptr<Shared> &shared);

    std::shared_ptr<Shared> shared;
};

#endif
