#include "net/connection.h"

#include "base/crashpoint.h"
#include "base/caughtlog.h"
#include "model/letter.h"
#include "model/messagefiles.h"
#include "net/authenticator.h"
#include "net/endpoint.h"
#include "net/idlewatcher.h"
#include "net/inbox.h"
#include "net/messagebuilder.h"

#include <QtDebug>

#include <sys/resource.h>
#include <unistd.h>

namespace {
// Message ids per command. A check mostly ends within its first window;
// one that goes on (a first check, one after an interrupted check) walks
// in larger steps, ahead of the fetches that follow it.
const int firstIdWindow = 50;
const int idWindow = 1000;
// Fetched bytes that may wait for the disk; beyond them the fetch waits.
// Two writes may hold as much again each.
const qint64 fetchedAheadBytes = 24 << 20;
const size_t writesAtOnce = 2;

// The calling thread yields the processor to the window's thread whenever
// both want it, so that a check's work never delays what the user sees.
// Among the program's own threads only: the rest of the system is shared
// by whole sessions.
void yieldToTheWindow()
{
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 5);
}
}

Connection::Connection()
    : m_thread(std::make_unique<QThread>())
    , m_idle(std::make_unique<IdleWatcher>())
{
    // Straight from the watcher's thread: the news must not wait behind a
    // job of this one.
    connect(m_idle.get(), &IdleWatcher::mailArrived, this, &Connection::mailArrived, Qt::DirectConnection);
    qRegisterMetaType<StoredMessages>("StoredMessages");
    qRegisterMetaType<QList<int>>("QList<int>");
    qRegisterMetaType<ServerQuestion>();
    m_thread->setObjectName(QStringLiteral("Connection"));
    moveToThread(m_thread.get());
    // Both are emitted on the worker thread itself.
    connect(m_thread.get(), &QThread::started, this, &Connection::begin, Qt::DirectConnection);
    connect(m_thread.get(), &QThread::finished, this, &Connection::end, Qt::DirectConnection);
}

Connection::~Connection()
{
    m_thread->requestInterruption();
    m_thread->quit();
    m_thread->wait();
    // Records handed over to a thread that never ran.
    QMutexLocker locker(&m_recordsLock);
    qDeleteAll(m_records);
    m_records.clear();
}

void Connection::start(QThread::Priority priority)
{
    m_thread->start(priority);
}

void Connection::begin()
{
    Q_ASSERT(QThread::currentThread() == thread());
    yieldToTheWindow();
    m_session = vmime::net::session::create();
    for (Endpoint *server : {m_incoming, m_outgoing}) {
        if (server)
            server->setSession(m_session);
    }
}

void Connection::end()
{
    Q_ASSERT(QThread::currentThread() == thread());
    // The records end with the thread that owns them.
    m_incoming = nullptr;
    m_outgoing = nullptr;
    QMutexLocker locker(&m_recordsLock);
    qDeleteAll(m_records);
    m_records.clear();
}

void Connection::setAuthenticator(const bool &incoming, QString login, QString password)
{
    auto authenticator = std::make_shared<Authenticator>(login, password, incoming);
    authenticator->moveToThread(m_thread.get());
    const bool in = incoming;
    // Installed on the worker thread, in order with the jobs queued there.
    QMetaObject::invokeMethod(this, [this, in, authenticator] {
        installAuthenticator(in, authenticator);
    }, Qt::QueuedConnection);
}

void Connection::installAuthenticator(bool incoming, std::shared_ptr<Authenticator> authenticator)
{
    Q_ASSERT(QThread::currentThread() == thread());
    connect(authenticator.get(), &Authenticator::queryUsername, this,
            &Connection::queryUsernameSlot, Qt::DirectConnection);
    connect(authenticator.get(), &Authenticator::queryPassword, this,
            &Connection::queryPasswordSlot, Qt::DirectConnection);
    // A server installed before the login arrived (the account was started
    // after its records were handed over) uses it as well.
    if (Endpoint *server = incoming ? m_incoming : m_outgoing)
        server->setAuthenticator(authenticator);
    (incoming ? m_incomingAuthenticator : m_outgoingAuthenticator) = std::move(authenticator);
}

void Connection::setServer(const bool &incoming, Endpoint *server)
{
    // From here on the Connection owns the record: it deletes it when it is
    // replaced and when the thread ends; nobody else may delete it.
    if (server) {
        server->setParent(nullptr);
        server->moveToThread(m_thread.get());
        QMutexLocker locker(&m_recordsLock);
        m_records.append(server);
    }
    const bool in = incoming;
    QMetaObject::invokeMethod(this, [this, in, server] { installServer(in, server); },
                              Qt::QueuedConnection);
}

void Connection::installServer(bool incoming, Endpoint *server)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Endpoint *&slot = incoming ? m_incoming : m_outgoing;
    if (slot == server)
        return;
    if (slot) {
        // A job of it may still run further up this thread's stack, waiting
        // for the user; release() deletes it when that job has ended.
        slot->disconnect(this);
        {
            QMutexLocker locker(&m_recordsLock);
            m_records.removeAll(slot);
        }
        slot->release();
    }
    slot = server;
    if (!server)
        return;
    server->setSession(m_session);
    server->setAuthenticator(incoming ? m_incomingAuthenticator : m_outgoingAuthenticator);
    connect(server, &Endpoint::authFailed, this, &Connection::authFailed);
}

Inbox *Connection::incoming() const
{
    return dynamic_cast<Inbox *>(m_incoming);
}

Inbox *Connection::checkedInbox()
{
    Inbox *server = incoming();
    if (!server) {
        emit connectionClosed();
        emit checkFailed();
    }
    return server;
}

template<typename Job>
void Connection::fetchJob(const QString &operation, Job job)
{
    // A check that failed once stops here: the windows the store asked for
    // ahead are dropped, and the next check starts afresh.
    m_checkFailed = true;
    std::exception_ptr failure;
    try {
        job();
        m_checkFailed = false;
        return;
    } catch (...) {
        failure = std::current_exception();
    }
    // What was fetched before the failure is still stored, and announced
    // before the failure is.
    try {
        while (!m_writes.empty())
            finishWrite();
        writeFetchedWindows();
        while (!m_writes.empty())
            finishWrite();
    } catch (const std::exception &e) {
        logCaught(operation, "std::exception", e.what());
    }
    m_fetchedWindows.clear();
    try {
        std::rethrow_exception(failure);
    } catch (const vmime::exceptions::authentication_error &e) {
        const QString response = QString::fromLatin1(e.response().c_str());
        logCaught(operation, "vmime::exception::authentication_error", e.what())
                              << response;
        emit authFailed(response);
    } catch (const vmime::security::cert::certificateException &e) {
        logCaught(operation, "vmime::exception::certificateException", e.what());
        emit connectionClosed();
    } catch (const vmime::exception &e) {
        logCaught(operation, "vmime::exception", e.what());
        emit error(tr("Get mail error: ") + QString::fromUtf8(e.name()) + QStringLiteral(": ")
                   + QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        logCaught(operation, "std::exception", e.what());
        emit error(tr("Get mail error: ") + QString::fromUtf8(e.what()));
    }
    emit checkFailed();
}

void Connection::onQueryGetMail(int index)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Inbox *server = checkedInbox();
    if (!server)
        return;
    if (index > 0 && m_checkFailed)
        return;
    fetchJob(operationOf(Q_FUNC_INFO), [&] {
        int high = index;
        if (index <= 0) {
            high = server->startCheck();
            if (high >= 0)
                watchInbox(server, high);
            if (high < 1) {
                emit connectionClosed();
                emit checkFailed();
                return;
            }
        }
        const int low = qMax(1, high - (index <= 0 ? firstIdWindow : idWindow) + 1);
        const QVector<QPair<int, QString>> window = server->messageIds(low, high);
        QList<int> numbers;
        QStringList ids;
        for (const auto &entry : window) {
            numbers.append(entry.first);
            ids.append(entry.second);
        }
        if (numbers.isEmpty()) {
            // Every message of the window went away meanwhile.
            numbers.append(low);
            ids.append(QString());
        }
        emit newMessageIds_chain(numbers, ids);
    });
}

void Connection::onFetchMessages(QList<int> numbers, QStringList fileNames, QString directory)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Inbox *server = checkedInbox();
    if (!server)
        return;
    if (m_checkFailed)
        return;
    fetchJob(operationOf(Q_FUNC_INFO), [&] {
        const QMap<int, QByteArray> contents = server->contents(numbers);
        QVector<MessageFiles::Pending> files;
        QVector<int> fetched;
        for (int i = 0; i < numbers.size(); ++i) {
            const auto it = contents.constFind(numbers.at(i));
            if (it == contents.cend())
                continue;
            files.append({fileNames.value(i), it.value()});
            fetched.append(numbers.at(i));
        }
        // Creating the files is most of a window's time on the disk's side;
        // the list's fields are read meanwhile, on a thread of their own,
        // from here on: while the windows before are still being written.
        std::future<QVector<ListFields>> listed = std::async(std::launch::async, [files] {
            yieldToTheWindow();
            QVector<ListFields> fields;
            fields.reserve(files.size());
            for (const MessageFiles::Pending &file : files)
                fields.append(ListFields::fromMessage(file.content));
            return fields;
        });
        m_fetchedWindows.push_back({directory, files, fetched, std::move(listed)});
        collectWrites();
        const bool full = fetchedBytes() >= fetchedAheadBytes;
        while (full && m_writes.size() >= writesAtOnce)
            finishWrite();
        if (full || !diskBusy())
            writeFetchedWindows();
        // The store keeps more windows asked for than this one, so the next
        // request is normally queued before this: it finishes the windows
        // after fetching its own. Only after the last one does this run.
        const int sequence = ++m_windowSequence;
        QMetaObject::invokeMethod(this, [this, sequence] { drainWindows(sequence); }, Qt::QueuedConnection);
    });
}

void Connection::writeFetchedWindows()
{
    if (m_fetchedWindows.empty())
        return;
    std::vector<FetchedWindow> windows;
    windows.swap(m_fetchedWindows);
    auto filesWritten = std::make_shared<std::promise<void>>();
    auto inPlace = std::make_shared<std::promise<bool>>();
    const std::shared_future<bool> before = m_lastInPlace;
    m_lastFilesWritten = filesWritten->get_future().share();
    m_lastInPlace = inPlace->get_future().share();
    m_writes.push_back(std::async(std::launch::async, [windows = std::move(windows), before, filesWritten,
                                                       inPlace]() mutable {
        yieldToTheWindow();
        WriteResult result;
        // A failure is never a null text, which means none.
        const auto failed = [&result](const QString &error) {
            result.first = error.isNull() ? QStringLiteral("") : error;
        };
        // The files of every folder's windows first, while the write before
        // may still be flushing...
        std::vector<std::unique_ptr<MessageFiles::DurableBatch>> batches;
        std::vector<size_t> ends;
        try {
            for (size_t first = 0; first < windows.size(); first = ends.back()) {
                QVector<MessageFiles::Pending> files = windows.at(first).files;
                size_t end = first + 1;
                while (end < windows.size() && windows.at(end).directory == windows.at(first).directory)
                    files += windows.at(end++).files;
                batches.push_back(std::make_unique<MessageFiles::DurableBatch>(windows.at(first).directory, files));
                ends.push_back(end);
            }
        } catch (const std::exception &e) {
            failed(QString::fromUtf8(e.what()));
        }
        filesWritten->set_value();
        // ...then into place in order, and only after every earlier window:
        // a failed one stops the later ones, whose files go.
        bool placed = result.first.isNull() && (!before.valid() || before.get());
        try {
            size_t window = 0;
            for (size_t batch = 0; placed && batch < batches.size(); ++batch) {
                if (!batches.at(batch)->commit()) {
                    failed(batches.at(batch)->error());
                    placed = false;
                    break;
                }
                for (; window < ends.at(batch); ++window) {
                    FetchedWindow &fetched = windows.at(window);
                    const QVector<ListFields> fields = fetched.fields.get();
                    StoredMessages stored;
                    stored.reserve(fetched.files.size());
                    for (int i = 0; i < fetched.files.size(); ++i) {
                        StoredMessage message;
                        message.number = fetched.numbers.at(i);
                        message.fields = fields.at(i);
                        stored.append(message);
                    }
                    result.second.append(stored);
                }
            }
        } catch (const std::exception &e) {
            failed(QString::fromUtf8(e.what()));
            placed = false;
        }
        inPlace->set_value(placed);
        return result;
    }));
}

void Connection::drainWindows(int sequence)
{
    if (sequence != m_windowSequence || (m_writes.empty() && m_fetchedWindows.empty()))
        return;
    fetchJob(QStringLiteral("Connection::drainWindows():"), [this] {
        collectWrites();
        if (!m_fetchedWindows.empty() && m_writes.size() < writesAtOnce)
            writeFetchedWindows();
        finishWrite();
    });
    if (!m_writes.empty() || !m_fetchedWindows.empty())
        QMetaObject::invokeMethod(this, [this, sequence] { drainWindows(sequence); }, Qt::QueuedConnection);
}

void Connection::watchInbox(Inbox *server, int count)
{
    if (m_incomingAuthenticator)
        m_idle->watch(server->watchCopy(), m_incomingAuthenticator->username(),
                      m_incomingAuthenticator->password(), count);
}

void Connection::finishWrite()
{
    if (m_writes.empty())
        return;
    const WriteResult written = m_writes.front().get();
    m_writes.pop_front();
    // Windows made durable before a failure are in place: they count.
    for (const StoredMessages &window : written.second)
        emit messagesStored_chain(window);
    if (!written.first.isNull()) {
        // Nothing after a failed write goes to the disk in this check.
        for (std::future<WriteResult> &later : m_writes)
            later.wait();
        m_writes.clear();
        m_lastFilesWritten = {};
        m_lastInPlace = {};
        m_fetchedWindows.clear();
        throw std::runtime_error(tr("Cannot store the message %1").arg(written.first).toStdString());
    }
}

qint64 Connection::fetchedBytes() const
{
    qint64 bytes = 0;
    for (const FetchedWindow &window : m_fetchedWindows) {
        for (const MessageFiles::Pending &file : window.files)
            bytes += file.content.size();
    }
    return bytes;
}

void Connection::collectWrites()
{
    while (!m_writes.empty() && m_writes.front().wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        finishWrite();
}

bool Connection::diskBusy() const
{
    return m_writes.size() >= writesAtOnce
            || (m_lastFilesWritten.valid()
                && m_lastFilesWritten.wait_for(std::chrono::seconds(0)) != std::future_status::ready);
}

void Connection::onSetCheckMark(QString path, QByteArray content, bool present)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!present) {
        // The store has everything above the mark's stop: without the mark
        // the next check stops at the first held message again.
        if (!MessageFiles::removeDurably(path))
            qCritical() << "Connection::onSetCheckMark(): cannot remove" << path;
        crashPoint("mark-removed");
        return;
    }
    if (m_checkFailed)
        return;
    fetchJob("Connection::onSetCheckMark():", [&] {
        if (!MessageFiles::replaceDurably(path, content))
            throw std::runtime_error(tr("Cannot store the messages: cannot write %1").arg(path).toStdString());
    });
}

void Connection::onCheckFinished()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (Inbox *server = incoming())
        server->endCheck();
}

void Connection::onDeleteMessageFromServer(int index)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_incoming)
        return;
    try {
        m_incoming->deleteMessageByNumber(index);
    } catch (const vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        emit error(tr("Delete mail from server error: ") + QString::fromUtf8(e.name())
                   + QStringLiteral(": ") + QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
        emit error(tr("Delete mail from server error: ") + QString::fromUtf8(e.what()));
    }
}

void Connection::onStoreWriteFailed(QString message)
{
    Q_ASSERT(QThread::currentThread() == thread());
    emit error(tr("Get mail error: ") + message);
}

void Connection::onSendLetter(Letter *letter)
{
    Q_ASSERT(QThread::currentThread() == thread());
    // Every send ends with sendFinished(), so the account knows whether the
    // server took the letter; failure carries the words for a failure that no
    // error() has reported.
    if (!m_outgoing) {
        emit sendFinished(letter, false, tr("no outgoing server is set for this account."), QByteArray());
        return;
    }
    const QString unsendable = MessageBuilder::unsendableAddress(letter);
    if (!unsendable.isEmpty()) {
        emit sendFinished(letter, false,
                          tr("the address %1 has characters beyond ASCII, which cannot be sent.")
                                  .arg(unsendable),
                          QByteArray());
        emit connectionClosed();
        return;
    }
    try {
        const vmime::shared_ptr<vmime::message> message = MessageBuilder::toVmimeMessage(letter);
        if (!message) {
            // Nothing to send; the builder has logged why.
            emit error(tr("Send mail error: ") + tr("the letter could not be turned into a message."));
            emit sendFinished(letter, false, QString(), QByteArray());
            return;
        }
        // Generated once: these bytes go to the server and into Sent.
        const QByteArray content = MessageBuilder::generate(message);
        auto header = message->getHeader();
        vmime::mailboxList recipients;
        for (const char *field : {vmime::fields::TO, vmime::fields::CC}) {
            if (auto found = header->findField(field)) {
                if (auto list = found->getValue<vmime::addressList>()) {
                    for (const auto &mailbox : list->toMailboxList()->getMailboxList())
                        recipients.appendMailbox(mailbox);
                }
            }
        }
        const bool sent = m_outgoing->sendMessage(content, *header->From()->getValue<vmime::mailbox>(),
                                                  recipients);
        emit sendFinished(letter, sent,
                          sent ? QString() : tr("could not connect to the outgoing server."),
                          sent ? content : QByteArray());
        emit connectionClosed();
    } catch (const vmime::exceptions::authentication_error &e) {
        LOG_CAUGHT("vmime::exception::authentication_error", e) << QString::fromLatin1(e.response().c_str());
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.what()) + QStringLiteral(": ")
                   + QString::fromLatin1(e.response().c_str()));
        emit sendFinished(letter, false, QString(), QByteArray());
    } catch (const vmime::security::cert::certificateException &e) {
        LOG_CAUGHT("vmime::exception::certificateException", e);
        emit sendFinished(letter, false, tr("the server's certificate was not accepted."), QByteArray());
        // The user said no; the account must still leave its sending state.
        emit connectionClosed();
    } catch (const vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.name()) + QStringLiteral(": ")
                   + QString::fromUtf8(e.what()));
        emit sendFinished(letter, false, QString(), QByteArray());
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.what()));
        emit sendFinished(letter, false, QString(), QByteArray());
    }
}

void Connection::queryUsernameSlot(const ServerQuestion &question)
{
    m_usernameAsker = qobject_cast<Authenticator *>(sender());
    emit queryUsername(question);
}

void Connection::queryPasswordSlot(const ServerQuestion &question)
{
    m_passwordAsker = qobject_cast<Authenticator *>(sender());
    emit queryPassword(question);
}

void Connection::setUsername(QString user)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (Authenticator *asker = m_usernameAsker.data()) {
        m_usernameAsker.clear();
        asker->setUsername(user);
    }
}

void Connection::setPassword(QString pass)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (Authenticator *asker = m_passwordAsker.data()) {
        m_passwordAsker.clear();
        asker->setPassword(pass);
    }
}
