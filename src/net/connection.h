#pragma once

#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QThread>

#include "model/messagefiles.h"
#include "net/serverquestion.h"

#include <vmime/vmime.hpp>

#include <deque>
#include <future>
#include <memory>
#include <vector>

class Authenticator;
class Endpoint;
class IdleWatcher;
class Inbox;
class Letter;

// Thread: the worker thread it owns, from construction on; the slots run
// there (and assert it), everything else crosses as a queued signal.
// The account's network worker: it owns the account's incoming and outgoing
// server records and does all their network work (reading the server's
// message ids, fetching and writing new messages to the store's folder,
// deletion on the server, sending). A MailCheck on the main thread decides
// what to fetch; only stored results cross back to it.
class Connection : public QObject
{
    Q_OBJECT

public:
    Connection();
    // Stops the thread (also out of a question that waits for the user) and
    // waits for it.
    ~Connection() override;

    // Starts the worker thread; until then jobs wait in its queue.
    void start(QThread::Priority priority = QThread::InheritPriority);
    bool isRunning() const { return m_thread->isRunning(); }

    // Any thread. The login and password of one direction; a server set
    // afterwards uses them.
    void setAuthenticator(const bool &incoming, QString login, QString password);
    // Any thread. The Connection takes the record over (see the definition).
    void setServer(const bool &incoming, Endpoint *server);
    // Waits in IDLE on the inbox of the last check that logged in.
    IdleWatcher *idleWatcher() const { return m_idle.get(); }

signals:
    void error(QString message);
    // The login or password of one direction is missing; the answer comes
    // through setUsername() or setPassword().
    void queryUsername(ServerQuestion question);
    void queryPassword(ServerQuestion question);
    void authFailed(QString response);
    void connectionClosed();
    // A step of a mail check failed, or no check could start: the check is
    // over, and what it stored was reported before this.
    void checkFailed();
    // Message numbers and ids of a window of the inbox, newest first.
    void newMessageIds_chain(QList<int> numbers, QStringList ids);
    // The messages asked for by onFetchMessages() are complete and durable
    // in the folder directory. Messages that the server no longer has are
    // missing from the list.
    void messagesStored_chain(StoredMessages messages);
    // After every onSendLetter(): whether the server took the letter. When it
    // did not and no error() told why, failure says it in words for the user.
    // content: the message exactly as it went to the server (empty when
    // none went).
    void sendFinished(Letter *letter, bool sent, QString failure, QByteArray content);
    // The server announced new mail. Emitted on the thread that made the
    // Connection, not on the worker, which may be busy with a job.
    void mailArrived();

public slots:
    // index <= 0 starts a check and announces the newest window; a number
    // announces the window that ends with it.
    void onQueryGetMail(int index);
    void onQueryGetMail() { onQueryGetMail(0); }
    // Fetches the numbered messages and writes them, as fileNames in the
    // same order, durably into directory.
    void onFetchMessages(QList<int> numbers, QStringList fileNames, QString directory);
    // Writes or removes the store's mark of an unfinished check; a failed
    // write ends the check before anything is fetched.
    void onSetCheckMark(QString path, QByteArray content, bool present);
    // The store has all it needs: the session ends.
    void onCheckFinished();
    // The answer goes to the one login of the account that asked.
    void setUsername(QString user);
    void setPassword(QString pass);
    void onSendLetter(Letter *letter);
    void onDeleteMessageFromServer(int index);
    // The store could not write a fetched message: the check ends here, and
    // the user is told.
    void onStoreWriteFailed(QString message);

private slots:
    void queryUsernameSlot(const ServerQuestion &question);
    void queryPasswordSlot(const ServerQuestion &question);

private:
    // The thread's start and end, on the thread: the records live and end
    // there.
    void begin();
    void end();
    void installAuthenticator(bool incoming, std::shared_ptr<Authenticator> authenticator);
    void installServer(bool incoming, Endpoint *server);
    Inbox *incoming() const;
    // The inbox for a step of a check; without one the check ends here.
    Inbox *checkedInbox();
    // Runs one fetch job, turning its failures into the signals the account
    // expects.
    template<typename Job> void fetchJob(const QString &operation, Job job);
    // Waits for the oldest write and announces its windows; throws when it
    // failed, after every later write has removed what it wrote.
    void finishWrite();
    // Announces the writes that have ended, oldest first, without waiting.
    void collectWrites();
    // A write may start when fewer than two are under way and none of them
    // is still writing its files.
    bool diskBusy() const;
    // The mail of the fetched windows not yet handed to a write.
    qint64 fetchedBytes() const;
    // Hands every fetched window not yet written to the disk, as one write.
    void writeFetchedWindows();
    // After the last fetch job queued: writes and announces what is left,
    // a write at a time, letting fetch jobs that come meanwhile go first.
    void drainWindows(int sequence);
    // Hands the watcher a copy of the inbox that a check has just logged in to.
    void watchInbox(Inbox *server, int count);

    std::unique_ptr<QThread> m_thread;
    Endpoint *m_incoming = nullptr;
    Endpoint *m_outgoing = nullptr;
    vmime::shared_ptr<vmime::net::session> m_session;
    std::shared_ptr<Authenticator> m_incomingAuthenticator;
    std::shared_ptr<Authenticator> m_outgoingAuthenticator;
    // The login waiting for an answer of each kind, if any.
    QPointer<Authenticator> m_usernameAsker;
    QPointer<Authenticator> m_passwordAsker;
    // Every record handed over and not yet given up; guarded because
    // setServer runs on the caller's thread.
    QMutex m_recordsLock;
    QList<Endpoint *> m_records;
    bool m_checkFailed = false;
    // A fetched window on its way to the disk, with its list fields, read
    // on a thread of their own from the moment it arrived.
    struct FetchedWindow {
        QString directory;
        QVector<MessageFiles::Pending> files;
        QVector<int> numbers;
        std::future<QVector<ListFields>> fields;
    };
    // Windows fetched while the disk was busy with earlier ones. They go to
    // it together when it is free: one flush makes them all durable, so a
    // disk slower than the network flushes less often, not more slowly.
    std::vector<FetchedWindow> m_fetchedWindows;
    // The writes under way, oldest first, each on a thread of its own while
    // the next windows are fetched: the failure (or a null text), and per
    // window the messages stored, which are announced before the next
    // windows or the check's end. A write makes its files while the one
    // before is made durable, and puts them in place only after it.
    using WriteResult = QPair<QString, QVector<StoredMessages>>;
    std::deque<std::future<WriteResult>> m_writes;
    std::shared_future<void> m_lastFilesWritten;
    std::shared_future<bool> m_lastInPlace;
    int m_windowSequence = 0;
    std::unique_ptr<IdleWatcher> m_idle;
};
