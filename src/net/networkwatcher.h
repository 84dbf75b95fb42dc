#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

class QSocketNotifier;

// Thread: the one it is made on (the window's); it only waits on a socket.
// Tells when the machine's network changes: an address of it added or
// removed, a link going up or down (a cable, a wireless network joined, a
// laptop waking up). The kernel says so through a routing socket, so that
// nothing is polled. A burst of changes (a link coming up, then its
// addresses) is told once, a second after its first change. What the
// kernel repeats without a change (lifetimes of IPv6 addresses renewed,
// wireless events) is not told.
class NetworkWatcher : public QObject
{
    Q_OBJECT

public:
    explicit NetworkWatcher(QObject *parent = nullptr);
    ~NetworkWatcher() override;

signals:
    void changed();

private:
    // Reads what the kernel has sent; during the start, what it sends is
    // the state to compare with, not a change.
    void read(bool initial);
    bool request(int type);
    // True when the message is a change of a link's state or of the
    // addresses.
    bool note(const struct nlmsghdr &message);

    int m_socket = -1;
    unsigned m_sequence = 0;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_settle;
    // The state of each link (by index) and every address with its link.
    QHash<int, unsigned> m_linkFlags;
    QSet<QByteArray> m_addresses;
};
