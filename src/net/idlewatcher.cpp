#include "net/idlewatcher.h"

#include "base/caughtlog.h"
#include "net/authenticator.h"
#include "net/endpoint.h"
#include "net/inbox.h"
#include "net/wakeablesocket.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QThread>
#include <QtDebug>

#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPStore.hpp>

#include <functional>
#include <limits>
#include <optional>

namespace {
// A lost connection is tried again after a pause that doubles up to half a
// minute, so that push is back soon after a server's restart; a server that
// stays away for ten minutes sees one attempt in five minutes (a check that
// gets through reconnects at once). A connection that reached IDLE starts
// the pauses afresh when it is lost.
constexpr int firstRetryMs = 1000;
constexpr int shortRetryCapMs = 30 * 1000;
constexpr qint64 shortRetriesForMs = 10 * 60 * 1000;
constexpr int longRetryMs = 5 * 60 * 1000;
// The server's answer to a command of ours.
constexpr int answerMs = 10000;
// Longer than any line of the few answers read here.
constexpr int longestLine = 1 << 20;

// Reads and writes the IMAP session that the library opened and logged in:
// the library has no IDLE, and its reader gives up on a server that is
// silent for ten seconds, which a server in IDLE is for minutes.
class IdleSession
{
public:
    IdleSession(const vmime::shared_ptr<vmime::net::imap::IMAPConnection> &connection, SocketWaker &waker,
                std::function<bool()> interrupted)
        : m_connection(connection)
        , m_socket(vmime::constCast<vmime::net::socket>(connection->getSocket()))
        , m_waker(waker)
        , m_interrupted(std::move(interrupted))
    {
    }

    // Opens the inbox read-only; its message count.
    int examine()
    {
        const QByteArray tag = command("EXAMINE INBOX");
        for (;;) {
            const QByteArray line = readLine(QDeadlineTimer(answerMs), false);
            if (isTagged(line, tag)) {
                expectOk(line, "EXAMINE");
                return m_count;
            }
            untagged(line);
        }
    }

    // Starts an IDLE command; false when the server refuses it. What the
    // server announces on the way is news too.
    bool startIdle(bool *news)
    {
        m_idleTag = command("IDLE");
        for (;;) {
            const QByteArray line = readLine(QDeadlineTimer(answerMs), false);
            if (line.startsWith('+'))
                return true;
            if (isTagged(line, m_idleTag))
                return false;
            *news |= untagged(line);
        }
    }

    // Reads what the server announces until the deadline or an interruption;
    // true as soon as it announces a message it did not have.
    bool waitForNews(const QDeadlineTimer &until)
    {
        for (;;) {
            const QByteArray line = readLine(until, true);
            if (line.isNull())
                return false;
            if (untagged(line))
                return true;
        }
    }

    // Leaves the IDLE without a word: the connection may lead nowhere any
    // more, and its server drops it as any other broken one.
    void cut() { m_socket->disconnect(); }

    // Ends the IDLE command; true when the server announced a message on
    // the way.
    bool endIdle()
    {
        bool news = false;
        send("DONE\r\n");
        for (;;) {
            const QByteArray line = readLine(QDeadlineTimer(answerMs), false);
            if (isTagged(line, m_idleTag)) {
                expectOk(line, "IDLE");
                return news;
            }
            news |= untagged(line);
        }
    }

private:
    QByteArray command(const QByteArray &text)
    {
        const QByteArray tag = "w" + QByteArray::number(++m_tags);
        send(tag + ' ' + text + "\r\n");
        return tag;
    }

    void send(const QByteArray &bytes)
    {
        m_connection->sendRaw(reinterpret_cast<const vmime::byte_t *>(bytes.constData()), size_t(bytes.size()));
    }

    static bool isTagged(const QByteArray &line, const QByteArray &tag)
    {
        return line.startsWith(tag + ' ');
    }

    static void expectOk(const QByteArray &line, const char *command)
    {
        if (line.split(' ').value(1).toUpper() != "OK")
            throw vmime::exceptions::command_error(command, line.toStdString());
    }

    // "* n EXISTS" sets the count, "* n EXPUNGE" lowers it; "* BYE" ends
    // the session. True when the count grew: a message came.
    bool untagged(const QByteArray &line)
    {
        const QList<QByteArray> words = line.split(' ');
        if (words.value(0) != "*")
            return false;
        const QByteArray kind = words.value(2).toUpper();
        if (kind == "EXISTS") {
            const int count = words.value(1).toInt();
            const bool grew = count > m_count;
            m_count = count;
            return grew;
        }
        if (kind == "EXPUNGE")
            m_count = qMax(0, m_count - 1);
        else if (words.value(1).toUpper() == "BYE")
            throw vmime::exceptions::connection_error(line.toStdString());
        return false;
    }

    // One line without its CR LF; a null text when the deadline passed or
    // the watch was interrupted, if that may end the wait, else a time-out.
    QByteArray readLine(const QDeadlineTimer &until, bool mayEnd)
    {
        for (;;) {
            // The library's time-out handler gives up on a server silent for
            // ten seconds, also inside the layers under this read; here the
            // deadline decides.
            if (const auto handler = m_socket->getTimeoutHandler())
                handler->resetTimeOut();
            const int end = m_buffer.indexOf("\r\n");
            if (end >= 0) {
                const QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 2);
                return line;
            }
            if (m_buffer.size() > longestLine)
                throw vmime::exceptions::invalid_response("IDLE", "a line without end");
            std::string chunk;
            m_socket->receive(chunk);
            if (!chunk.empty()) {
                m_buffer.append(chunk.data(), int(chunk.size()));
                continue;
            }
            if (!m_socket->isConnected())
                throw vmime::exceptions::socket_exception("connection closed by the server");
            if (mayEnd && (until.hasExpired() || m_interrupted()))
                return QByteArray();
            if (!mayEnd && until.hasExpired())
                throw vmime::exceptions::operation_timed_out();
            const int wait = int(qBound<qint64>(1, until.remainingTime(), std::numeric_limits<int>::max()));
            std::optional<SocketWaker::Listening> listening;
            if (mayEnd)
                listening.emplace(m_waker);
            if (m_socket->getStatus() & vmime::net::socket::STATUS_WANT_WRITE)
                m_socket->waitForWrite(wait);
            else
                m_socket->waitForRead(wait);
        }
    }

    vmime::shared_ptr<vmime::net::imap::IMAPConnection> m_connection;
    vmime::shared_ptr<vmime::net::socket> m_socket;
    SocketWaker &m_waker;
    std::function<bool()> m_interrupted;
    QByteArray m_buffer;
    QByteArray m_idleTag;
    int m_tags = 0;
    int m_count = 0;
};
}

struct IdleWatcher::Target
{
    // Lives on the watch's thread once taken.
    std::unique_ptr<Endpoint> record;
    std::shared_ptr<Authenticator> login;
    QString key;
    // The message count of the last session (or as the check that handed
    // the record over saw it), to tell when the watch starts again whether
    // mail came meanwhile; -1 when unknown.
    int count = -1;
    // The last session waited in IDLE.
    bool reached = false;
};

IdleWatcher::IdleWatcher(QObject *parent)
    : QObject(parent)
    , m_waker(std::make_shared<SocketWaker>())
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("IdleWatcher"));
    m_thread->start(QThread::LowPriority);
}

IdleWatcher::~IdleWatcher()
{
    {
        QMutexLocker locker(&m_lock);
        m_stopping = true;
        m_wake.wakeAll();
        m_waker->wake();
    }
    // Also ends a certificate question that waits for the user.
    m_thread->requestInterruption();
    m_thread->quit();
    m_thread->wait();
}

void IdleWatcher::watch(Endpoint *record, const QString &login, const QString &password, int count)
{
    auto *inbox = dynamic_cast<Inbox *>(record);
    const QString key = inbox ? inbox->identity() + QLatin1Char('\n') + login + QLatin1Char('\n') + password
                              : QString();
    QMutexLocker locker(&m_lock);
    if (!key.isEmpty() && key == m_currentKey && (m_inSession || key == m_unavailableKey) && !m_next) {
        delete record;
        return;
    }
    auto target = std::make_unique<Target>();
    target->count = count;
    if (inbox) {
        record->moveToThread(m_thread.get());
        target->record.reset(record);
        // A session and a login of its own. The login never asks the user
        // (the check that handed the record over has just logged in with
        // it): a question is answered empty at once, and the login fails.
        auto authenticator = std::make_shared<Authenticator>(login, password, true);
        Authenticator *const asked = authenticator.get();
        QObject::connect(asked, &Authenticator::queryUsername, asked, [asked](const ServerQuestion &) {
            QMetaObject::invokeMethod(asked, [asked] { asked->setUsername(QString()); }, Qt::QueuedConnection);
        });
        QObject::connect(asked, &Authenticator::queryPassword, asked, [asked](const ServerQuestion &) {
            QMetaObject::invokeMethod(asked, [asked] { asked->setPassword(QString()); }, Qt::QueuedConnection);
        });
        authenticator->moveToThread(m_thread.get());
        record->setSession(vmime::net::session::create());
        record->setAuthenticator(authenticator);
        record->setSocketFactory(vmime::make_shared<WakeableSocketFactory>(m_waker));
        target->login = std::move(authenticator);
        target->key = key;
    }
    // A record handed over before and not yet taken was never used.
    m_next = std::move(target);
    m_replaced = true;
    m_wake.wakeAll();
    m_waker->wake();
}

void IdleWatcher::reconnect()
{
    QMutexLocker locker(&m_lock);
    m_reconnecting = true;
    m_wake.wakeAll();
    m_waker->wake();
}

void IdleWatcher::run()
{
    std::unique_ptr<Target> target;
    int retryMs = firstRetryMs;
    // Runs while no connection reaches IDLE.
    QElapsedTimer unreachable;
    for (;;) {
        {
            QMutexLocker locker(&m_lock);
            while (!m_stopping && !m_next && !(target && target->record))
                m_wake.wait(&m_lock);
            if (m_stopping)
                break;
            if (m_reconnecting.exchange(false)) {
                m_waker->rearm();
                retryMs = firstRetryMs;
                unreachable.invalidate();
            }
            if (m_next) {
                const int count = target && m_next->key == target->key ? target->count : -1;
                target = std::move(m_next);
                if (target->count < 0)
                    target->count = count;
                m_currentKey = target->key;
                m_replaced = false;
                m_waker->rearm();
                retryMs = firstRetryMs;
                unreachable.invalidate();
                if (!target->record)
                    continue;
            }
        }
        const Outcome outcome = session(*target);
        if (target->reached) {
            target->reached = false;
            retryMs = firstRetryMs;
            unreachable.invalidate();
        }
        switch (outcome) {
        case Outcome::Lost: {
            if (!unreachable.isValid())
                unreachable.start();
            announce(&IdleWatcher::lost);
            QMutexLocker locker(&m_lock);
            if (!m_stopping && !m_next && !m_reconnecting)
                m_wake.wait(&m_lock, ulong(retryMs));
            retryMs = unreachable.elapsed() < shortRetriesForMs ? qMin(2 * retryMs, shortRetryCapMs) : longRetryMs;
            break;
        }
        case Outcome::GaveUp:
            target->record.reset();
            break;
        case Outcome::Replaced:
            break;
        case Outcome::Stopped:
            break;
        }
    }
    target.reset();
    QMutexLocker locker(&m_lock);
    m_next.reset();
}

void IdleWatcher::announce(void (IdleWatcher::*signal)())
{
    QMetaObject::invokeMethod(this, signal, Qt::QueuedConnection);
}

IdleWatcher::Outcome IdleWatcher::session(Target &target)
{
    auto *inbox = dynamic_cast<Inbox *>(target.record.get());
    // Whatever ends the session, its server is left in a state that the
    // next one starts from.
    m_inSession = true;
    const auto endSession = qScopeGuard([&] {
        m_inSession = false;
        inbox->endCheck();
    });
    try {
        const auto store = vmime::dynamicCast<vmime::net::imap::IMAPStore>(inbox->connectStore());
        if (!store)
            return Outcome::Lost;
        const auto connection = store->getConnection();
        if (!connection->hasCapability("IDLE")) {
            {
                QMutexLocker locker(&m_lock);
                m_unavailableKey = target.key;
            }
            announce(&IdleWatcher::unavailable);
            return Outcome::GaveUp;
        }
        IdleSession idle(connection, *m_waker, [this] { return interrupted(); });
        const int count = idle.examine();
        // Mail that came while the watch was away is news too.
        const bool missed = target.count >= 0 && count != target.count;
        target.count = count;
        if (missed)
            announce(&IdleWatcher::mailArrived);
        for (;;) {
            bool news = false;
            if (!idle.startIdle(&news)) {
                QMutexLocker locker(&m_lock);
                m_unavailableKey = target.key;
                announce(&IdleWatcher::unavailable);
                return Outcome::GaveUp;
            }
            target.reached = true;
            if (news)
                announce(&IdleWatcher::mailArrived);
            announce(&IdleWatcher::idling);
            const QDeadlineTimer renew(m_renewMs.load());
            while (!renew.hasExpired() && !interrupted()) {
                if (idle.waitForNews(renew))
                    announce(&IdleWatcher::mailArrived);
            }
            if (m_reconnecting) {
                idle.cut();
                return m_stopping ? Outcome::Stopped : Outcome::Replaced;
            }
            if (idle.endIdle())
                announce(&IdleWatcher::mailArrived);
            if (m_stopping)
                return Outcome::Stopped;
            if (m_replaced)
                return Outcome::Replaced;
        }
    } catch (const vmime::exceptions::authentication_error &e) {
        LOG_CAUGHT("vmime::exception::authentication_error", e) << QString::fromLatin1(e.response().c_str());
        return Outcome::GaveUp;
    } catch (const vmime::security::cert::certificateException &e) {
        LOG_CAUGHT("vmime::exception::certificateException", e);
        return Outcome::GaveUp;
    } catch (const vmime::exception &e) {
        // Stopping (the account or the program goes) breaks off whatever
        // the session was doing: nothing to report then.
        if (!m_stopping)
            LOG_CAUGHT("vmime::exception", e);
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return m_stopping ? Outcome::Stopped : Outcome::Lost;
}
