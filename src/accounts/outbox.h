#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class Cache;
class Letter;

// Thread: main.
// The letters an account was told to send and the server has not taken yet,
// oldest first, one of them out with the worker thread at a time. A letter
// the server took is filed in Sent; one it did not take, or that never left
// (the account went away first), stays with the user in Drafts.
class Outbox : public QObject
{
    Q_OBJECT

public:
    explicit Outbox(QObject *parent = nullptr);
    // Letters still waiting are kept as drafts.
    ~Outbox() override;

    // Where letters are filed; follows the account's store.
    void setStore(Cache *store) { m_store = store; }
    // Takes over a copy of a letter to send.
    void append(Letter *letter);
    int size() const { return m_letters.size(); }
    // A letter is with the worker thread and has no outcome yet.
    bool hasLetterOut() const { return m_sending != nullptr; }
    // The next letter to hand to the worker thread, now out; null while one
    // is out or none waits.
    Letter *startNext();
    // The outcome for the letter that is out: files it, a sent one as the
    // content that went to the server. False when it is not that letter (an
    // old or foreign report).
    bool finish(Letter *letter, bool sent, const QByteArray &content);

private:
    void keepAsDraft(Letter *letter);

    QPointer<Cache> m_store;
    // Children of this outbox; the first one is with the worker thread while
    // m_sending is set.
    QList<Letter *> m_letters;
    Letter *m_sending = nullptr;
};
