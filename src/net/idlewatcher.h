#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class Endpoint;
class QThread;
class SocketWaker;

// Any thread; the watch itself runs on a thread of its own, which the
// watcher owns, so that it never holds up the account's worker.
// Keeps one connection to an IMAP inbox waiting in IDLE and says when the
// server announces a message it did not have before, so that the account
// checks at once instead of at the next tick of its timer. The connection
// is made by the record like every other one (security probe, certificate
// rules, login); the IDLE is renewed before servers drop it, and a lost
// connection is made again after a growing pause, or at once when the
// machine's network changed. A server that does not
// offer IDLE, a refused login or a refused certificate end the watch until
// the record is handed over again. It reads nothing but the message count:
// fetching stays with the check.
class IdleWatcher : public QObject
{
    Q_OBJECT

public:
    // Servers may end an IDLE after 30 minutes.
    static constexpr int defaultRenewMs = 29 * 60 * 1000;

    explicit IdleWatcher(QObject *parent = nullptr);
    // Ends the watch and waits for its thread.
    ~IdleWatcher() override;

    // Called on the record's thread. Watches the inbox of record, a copy
    // made for this and given up to the watcher, which moves it to its
    // thread and deletes it; null stops watching. The same server and login
    // again leave a watch that is connected or connecting (or found no IDLE)
    // alone, and reconnect one that waits to try again. count is the inbox's
    // message count as the caller saw it (-1: unknown): mail that comes
    // before the watch is in place is news too.
    void watch(Endpoint *record, const QString &login, const QString &password, int count = -1);
    // Any thread. Drops the connection, which may have gone with an address
    // of this machine, and makes it again at once, with the pauses between
    // attempts starting afresh.
    void reconnect();
    // How long one IDLE command lasts before it is renewed.
    void setRenewInterval(int ms) { m_renewMs = ms; }

signals:
    // On the thread that the watcher belongs to.
    // The inbox holds a message that it did not hold before.
    void mailArrived();
    // The connection waits in IDLE (after each connect and each renewal).
    void idling();
    // The server does not offer IDLE: only the account's timer checks.
    void unavailable();
    // The connection broke or could not be made; it is tried again after
    // a pause.
    void lost();

private:
    struct Target;
    enum class Outcome { Lost, GaveUp, Replaced, Stopped };

    void run();
    Outcome session(Target &target);
    bool interrupted() const { return m_stopping || m_replaced || m_reconnecting; }
    // Emits the signal on the watcher's own thread.
    void announce(void (IdleWatcher::*signal)());

    std::unique_ptr<QThread> m_thread;
    // Cuts the wait for news short when the watch is to stop or to move.
    std::shared_ptr<SocketWaker> m_waker;
    std::atomic<int> m_renewMs{defaultRenewMs};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_replaced{false};
    std::atomic<bool> m_reconnecting{false};
    // A connection is made or waits in IDLE.
    std::atomic<bool> m_inSession{false};

    mutable QMutex m_lock;
    QWaitCondition m_wake;
    // Guarded by m_lock: the record handed over and not yet taken, what the
    // watch now serves (server and login), and a server found without IDLE.
    std::unique_ptr<Target> m_next;
    QString m_currentKey;
    QString m_unavailableKey;
};
