#include "net/networkwatcher.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// Long enough for a link coming up and its first addresses to count once.
constexpr int settleMs = 1000;
// What tells whether a link can carry traffic.
constexpr unsigned linkState = IFF_UP | IFF_RUNNING | IFF_LOWER_UP;
// The kernel answers the requests of the start at once; this only keeps a
// kernel that does not from holding up the window.
constexpr int startAnswerMs = 1000;

const char *payload(const nlmsghdr &message)
{
    return reinterpret_cast<const char *>(&message) + NLMSG_HDRLEN;
}
}

NetworkWatcher::NetworkWatcher(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &NetworkWatcher::changed);

    m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<const sockaddr *>(&local), sizeof local) < 0) {
        qWarning() << "NetworkWatcher: no routing socket, network changes go unnoticed:" << std::strerror(errno);
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
        return;
    }
    const timeval wait{0, startAnswerMs * 1000};
    ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    // The present links and addresses; a dump at a time.
    for (const int type : {RTM_GETLINK, RTM_GETADDR}) {
        if (request(type))
            read(true);
    }
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { read(false); });
}

NetworkWatcher::~NetworkWatcher()
{
    delete m_notifier;
    if (m_socket >= 0)
        ::close(m_socket);
}

bool NetworkWatcher::request(int type)
{
    struct
    {
        nlmsghdr header;
        rtgenmsg body;
    } message{};
    message.header.nlmsg_len = NLMSG_LENGTH(sizeof message.body);
    message.header.nlmsg_type = quint16(type);
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = ++m_sequence;
    message.body.rtgen_family = AF_UNSPEC;
    return ::send(m_socket, &message, message.header.nlmsg_len, 0) >= 0;
}

void NetworkWatcher::read(bool initial)
{
    alignas(nlmsghdr) char buffer[32768];
    bool changed = false;
    for (;;) {
        sockaddr_nl sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t got = ::recvfrom(m_socket, buffer, sizeof buffer, initial ? 0 : MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr *>(&sender), &senderLength);
        if (got < 0 && errno == EINTR)
            continue;
        // The kernel dropped news for a full buffer: something changed.
        if (got < 0 && errno == ENOBUFS) {
            changed = true;
            continue;
        }
        // Everything read (or, at the start, the kernel did not answer).
        if (got <= 0)
            break;
        // Only the kernel speaks for the network.
        if (sender.nl_pid != 0)
            continue;
        bool done = false;
        const size_t size = size_t(got);
        for (size_t at = 0; at + sizeof(nlmsghdr) <= size;) {
            const auto &message = *reinterpret_cast<const nlmsghdr *>(buffer + at);
            if (message.nlmsg_len < sizeof(nlmsghdr) || at + message.nlmsg_len > size)
                break;
            if (message.nlmsg_type == NLMSG_DONE || message.nlmsg_type == NLMSG_ERROR)
                done |= message.nlmsg_seq == m_sequence;
            else
                changed |= note(message);
            at += NLMSG_ALIGN(message.nlmsg_len);
        }
        if (initial && done)
            return;
    }
    if (changed && !initial && !m_settle.isActive())
        m_settle.start();
}

bool NetworkWatcher::note(const nlmsghdr &message)
{
    const quint16 type = message.nlmsg_type;
    if (type == RTM_NEWLINK || type == RTM_DELLINK) {
        if (message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
            return false;
        const auto &link = *reinterpret_cast<const ifinfomsg *>(payload(message));
        const unsigned before = m_linkFlags.value(link.ifi_index, 0);
        const unsigned now = type == RTM_DELLINK ? 0 : link.ifi_flags & linkState;
        if (type == RTM_DELLINK)
            m_linkFlags.remove(link.ifi_index);
        else
            m_linkFlags.insert(link.ifi_index, now);
        return now != before;
    }
    if (type != RTM_NEWADDR && type != RTM_DELADDR)
        return false;
    if (message.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return false;
    // An address is its link, family, prefix and bytes; the rest (flags,
    // lifetimes) changes without the address changing.
    const auto &address = *reinterpret_cast<const ifaddrmsg *>(payload(message));
    QByteArray key(reinterpret_cast<const char *>(&address.ifa_index), sizeof address.ifa_index);
    key += char(address.ifa_family);
    key += char(address.ifa_prefixlen);
    for (size_t at = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifaddrmsg)); at + sizeof(rtattr) <= message.nlmsg_len;) {
        const auto &attribute = *reinterpret_cast<const rtattr *>(reinterpret_cast<const char *>(&message) + at);
        if (attribute.rta_len < sizeof(rtattr) || at + attribute.rta_len > message.nlmsg_len)
            break;
        if (attribute.rta_type == IFA_ADDRESS || attribute.rta_type == IFA_LOCAL) {
            key += char(attribute.rta_type);
            key.append(reinterpret_cast<const char *>(&attribute) + RTA_LENGTH(0),
                       int(attribute.rta_len - RTA_LENGTH(0)));
        }
        at += RTA_ALIGN(attribute.rta_len);
    }
    if (type == RTM_DELADDR)
        return m_addresses.remove(key);
    if (m_addresses.contains(key))
        return false;
    m_addresses.insert(key);
    return true;
}
