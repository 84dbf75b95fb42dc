#pragma once

#include "model/messagefiles.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class Cache;

// Thread: main. The worker it talks to runs on its own thread; attach()
// makes every connection between the two queued.
// One mail check, from the newest window of message ids to its end: which
// server messages are new, the mark of an unfinished check, the fetch windows
// in flight, the listing of the stored letters (handed to the Cache, which
// keeps the files and the folders) and deletion on the server. The account
// makes one per check and drops it at ended().
//
// The check stops at the first held message, newest first, which is only
// right when every message older than a held one is held too. A check that
// stores anything breaks that until it ends, so before its first file it
// writes the mark "interrupted-check" (atomically, durably) naming the held
// message where it will stop, or nothing when it walks to the oldest. The
// mark goes only when the check has stored everything above that message. A
// check that finds a mark walks past held messages until it meets the one
// the mark names. Held means a file is in place, and a file is only ever in
// place whole and durable.
class MailCheck : public QObject
{
    Q_OBJECT

public:
    explicit MailCheck(Cache *cache, QObject *parent = nullptr);

    // Joins the check and the account's worker (a Connection), in both
    // directions.
    template<class Worker> void attach(Worker *worker);

    // Reads the mark and asks for the newest window.
    void start();
    // Stored letters are still being listed, a few per turn of the event
    // loop (also after a failure has ended the check).
    bool isListing() const { return !m_storedWindows.isEmpty(); }
    bool hasEnded() const { return m_ended; }

signals:
    // To the worker: the ids of the window of messages that ends with number
    // index (0: start the check's session with the newest window).
    void getNewMail(int index);
    // To the worker: fetch these messages and write them as fileNames into
    // directory.
    void fetchMessages(QList<int> numbers, QStringList fileNames, QString directory);
    // To the worker: write (present) or remove the mark, durably and in
    // order with the fetches.
    void setCheckMark(QString path, QByteArray content, bool present);
    void deleteMessageFromServer(int number);
    // Everything new is stored and listed: the worker ends the session.
    void lettersRecieved();
    // The check is over, finished or failed, and lists nothing more.
    void ended();

public slots:
    // A window of the inbox, newest first.
    void onNewMessageIds(QList<int> numbers, QStringList ids);
    void onMessagesStored(StoredMessages messages);
    // The worker ended the check on a failure; what it stored before is
    // still listed.
    void onFailed();

private:
    QString markPath() const;
    void walkWindow(const QList<int> &numbers, const QStringList &ids);
    void fetchNextWindow();
    void announceStored();
    void finish();
    void endWhenListed();

    QPointer<Cache> m_cache;
    bool m_deleteOnServer = false;
    bool m_hasMark = false;                    // a mark exists on disk
    bool m_resuming = false;                   // there was one when the check began
    QString m_markStop;                        // the file name it names; empty: the oldest
    bool m_markOpen = false;                   // written before the stop was known
    bool m_walkDone = false;
    QString m_stopAt;                          // the held message this check stops at
    QVector<QPair<int, QString>> m_toFetch;    // new messages, newest first
    QSet<QString> m_inWalk;                    // their file names
    int m_fetched = 0;                         // how many of m_toFetch were asked for
    QMap<int, QString> m_asked;                // number -> id of the windows being fetched
    int m_windowsInFlight = 0;
    // Windows on disk whose letters are being listed, a few per turn.
    QVector<StoredMessages> m_storedWindows;
    int m_announced = 0;                       // letters of the first one listed so far
    bool m_finished = false;
    bool m_failed = false;
    bool m_ended = false;
};

template<class Worker>
void MailCheck::attach(Worker *worker)
{
    connect(this, &MailCheck::getNewMail, worker, qOverload<int>(&Worker::onQueryGetMail),
            Qt::QueuedConnection);
    connect(this, &MailCheck::fetchMessages, worker, &Worker::onFetchMessages, Qt::QueuedConnection);
    connect(this, &MailCheck::setCheckMark, worker, &Worker::onSetCheckMark, Qt::QueuedConnection);
    connect(this, &MailCheck::deleteMessageFromServer, worker, &Worker::onDeleteMessageFromServer,
            Qt::QueuedConnection);
    connect(this, &MailCheck::lettersRecieved, worker, &Worker::onCheckFinished, Qt::QueuedConnection);
    connect(worker, &Worker::newMessageIds_chain, this, &MailCheck::onNewMessageIds,
            Qt::QueuedConnection);
    connect(worker, &Worker::messagesStored_chain, this, &MailCheck::onMessagesStored,
            Qt::QueuedConnection);
    connect(worker, &Worker::checkFailed, this, &MailCheck::onFailed, Qt::QueuedConnection);
}
