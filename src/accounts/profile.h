#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantList>

#include "base/keyring.h"
#include "net/serverquestion.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "servers/server.h"
#include "search/lettersearch.h"
#include "search/searchresults.h"
#include "store/cache.h"

#include <array>
#include <functional>
#include <memory>

class Connection;
class MailCheck;
class Outbox;
class RecordMirror;
class Letter;

// Thread: main. Its Connection runs on a worker thread of its own; every
// signal between the two is queued.
// One mail account: its store (Cache), its five folders, the letter being
// composed, its worker (Connection), its mail-check timer and its status. It
// makes one MailCheck per check and ends it; the check itself lives there.
class Profile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int unseenLetters READ unseenLetters WRITE setUnseenLetters NOTIFY unseenLettersChanged)
    Q_PROPERTY(QString text READ email WRITE setEmail NOTIFY emailChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY emailChanged)
    Q_PROPERTY(QString incomingServerStr READ incomingServerStr WRITE setIncomingServerStr)
    Q_PROPERTY(QString outgoingServerStr READ outgoingServerStr WRITE setOutgoingServerStr)
    // The five folders' sorted and filtered lists, indexed by
    // Letter::FolderType; empty until the account has an incoming server.
    Q_PROPERTY(QVariantList folders READ folders NOTIFY foldersChanged)
    Q_PROPERTY(Cache *cache READ cache WRITE setCache)
    Q_PROPERTY(Letter *newLetter READ newLetter WRITE setNewLetter)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    // The letters of every folder that the search text finds.
    Q_PROPERTY(SearchResults *searchResults READ searchResults CONSTANT)

public:
    enum Status {
        READY_STATUS = 0,
        RECIEVING_STATUS = 1,
        SENDING_STATUS = 2
    };
    Q_ENUM(Status)

    explicit Profile(QString email = QString(), QObject *parent = nullptr);
    ~Profile() override;

    // Where the account keeps its passwords; null keeps them for the session
    // only. Set before initialize().
    void setKeyring(Keyring *keyring) { m_keyring = keyring; }
    // The account's keyring entry for one direction's server.
    Keyring::Entry passwordEntry(bool incoming) const;
    // Removes both entries (the account is going).
    void forgetPasswords();
    // Reads the rest of the account record, starts the worker thread and the
    // timer. Runs once.
    void initialize();
    bool isInitialized() const { return m_initialized; }
    // Writes "name", "inServer" and "outServer" of the account record.
    void save();
    void applyUsername(const QString &user, bool save);
    // save: into the keyring, or, where there is none, for this session.
    void applyPassword(const QString &password, bool save);
    // Gives the account a new address and moves its letters along (a rename
    // of its store directory, once no check or send runs). False, and nothing
    // changed, when a store for the new address exists already.
    bool changeEmail(const QString &email);

    int unseenLetters() const { return m_unseenLetters; }
    void setUnseenLetters(int count);
    QString name() const { return m_name; }
    void setName(const QString &name);
    QString email() const { return m_email; }
    void setEmail(const QString &email);
    QString incomingServerStr() const { return m_incomingServerStr; }
    void setIncomingServerStr(const QString &address) { m_incomingServerStr = address; }
    QString outgoingServerStr() const { return m_outgoingServerStr; }
    void setOutgoingServerStr(const QString &address) { m_outgoingServerStr = address; }

    QVariantList folders() const;
    // A folder's list and the model under it; null for a folder number out
    // of range or before the folders are built.
    ProxyModel *folder(int folder) const;
    Model *folderModel(int folder) const;

    Cache *cache() const { return m_cache; }
    LetterSearch *search() const { return m_search; }
    SearchResults *searchResults() const { return m_searchResults; }
    void setCache(Cache *cache) { m_cache = cache; }
    Letter *newLetter() const { return m_newLetter.get(); }
    void setNewLetter(Letter *letter);
    // Derived, never set: receiving while a check runs, sending while a
    // letter is out with the worker thread, ready otherwise.
    Status status() const;

    Connection *connection() const { return m_connection.get(); }
    QTimer *mailTimer() { return &m_timer; }
    // Letters given to sendNewLetter() that the server has not taken yet,
    // oldest first.
    int pendingLetters() const;

signals:
    void foldersChanged();
    void emailChanged();
    void nameChanged();
    void statusChanged();
    void unseenLettersChanged();
    void queryUsername();
    void queryPassword();
    void setUsername(QString user);
    void setPassword(QString password);
    void error(QString e);
    void authFailed(QString e);
    void sendLetter(Letter *letter);
    // A short word for the window: a letter is out, has gone, or was kept.
    void sendNotice(QString text, bool busy);
    void receiveLetter(Letter *letter);

public slots:
    void queryIncomingMail();
    void setIncomingServer(QObject *incomingServer);
    void setOutgoingServer(QObject *outgoingServer);
    void sendNewLetter();
    void saveNewLetterToDrafts();
    // Removes the draft of the letter being written, if one was saved, for
    // good: its text lives on in the letter.
    void discardNewLetterDraft();
    // Asks for a file and attaches it; false when none was chosen.
    bool createAttachment();
    void errorSlot(QString e);
    void authFailedSlot(QString e);
    void onIncomingServerAdressChanged(QString address);
    void onOutgoingServerAdressChanged(QString address);
    void onGetMailIntervalChanged(int interval);
    // The machine's network changed: the push connection may lead nowhere
    // now, and mail may have come while it did.
    void onNetworkChanged();

private slots:
    // The worker needs a password: the keyring's, the one remembered for
    // the session, or else the user's answer to a question.
    void onPasswordWanted(const ServerQuestion &question);
    void onUsernameWanted(const ServerQuestion &question);
    void onUnseenLettersChanged(int c);
    // The server announced new mail: a check as soon as the account is ready.
    void onMailArrived();
    void onSendFinished(Letter *letter, bool sent, QString failure, QByteArray content);
    // The running check is over: it goes.
    void onCheckEnded();

private:
    void buildFolders();
    // Has the account's letters indexed and the folders' search use the index.
    void connectSearch();
    // Runs the job now when the account is ready, else once it is: swapping
    // a server record or the store under a running check would lose the
    // messages it has announced.
    void whenIdle(std::function<void()> job);
    void runIdleJobs();
    // Once the account is ready, runs what waits for it; then emits
    // statusChanged() if the status it settles on is new.
    void updateStatus();
    // setIncomingServer() and setOutgoingServer(): a Server record for one
    // direction; anything else is ignored.
    void takeRecord(bool incoming, QObject *object);
    void giveId(Letter *letter) const;
    void sendNextLetter();
    // Moves the entry of one direction when its server or the account's
    // address changes.
    void rehomePassword(const Keyring::Entry &before, bool incoming);

    bool m_initialized = false;
    int m_unseenLetters = 0;
    QString m_email;
    QString m_name;
    QString m_incomingServerStr;
    QString m_outgoingServerStr;
    bool m_checkWanted = false;
    // The status last announced by statusChanged().
    Status m_status = READY_STATUS;
    QTimer m_timer;
    std::array<QPointer<Model>, 5> m_models;
    std::array<QPointer<ProxyModel>, 5> m_proxies;
    QPointer<Cache> m_cache;
    // The running check, a child; null while none runs.
    QPointer<MailCheck> m_check;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Letter> m_newLetter;
    // Children: copies of the letters handed to sendNewLetter(), and the
    // worker's copies of the records handed to setIncomingServer() and
    // setOutgoingServer().
    Outbox *m_outbox;
    RecordMirror *m_records;
    LetterSearch *m_search;
    SearchResults *m_searchResults;
    QList<std::function<void()>> m_idleJobs;
    QPointer<Keyring> m_keyring;
    // Per direction (incoming first): a stored password was handed out
    // already, so a second question means the server refused it.
    std::array<bool, 2> m_storedPasswordGiven{};
    std::array<QString, 2> m_sessionPasswords;
    // The direction whose server asked the open login or password question.
    bool m_askingIncoming = true;
};
