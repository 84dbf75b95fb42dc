#pragma once

#include "base/settings.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

class Keyring;
class NetworkWatcher;
class Letter;
class Profile;
class Server;

// Thread: main.
// The list of accounts, the current one, the three global mail options, and
// the one path by which the accounts' questions, failures and new-mail
// notices reach the QML and the user's answers go back.
class ProfileManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int currentProfile READ currentProfile WRITE setCurrentProfile NOTIFY currentProfileChanged)
    Q_PROPERTY(int currentProfileQuery READ currentProfileQuery WRITE setCurrentProfileQuery)
    Q_PROPERTY(int storeMessagesCount READ storeMessagesCount WRITE setStoreMessagesCount NOTIFY storeMessagesCountChanged)
    Q_PROPERTY(int getMailTimerInterval READ getMailTimerInterval WRITE setGetMailTimerInterval NOTIFY getMailTimerIntervalChanged)
    Q_PROPERTY(bool deleteFromServer READ deleteFromServer WRITE setDeleteFromServer NOTIFY deleteFromServerChanged)
    Q_PROPERTY(QVariantList profiles READ profiles WRITE setProfiles NOTIFY profilesChanged)
    // False once the keyring was found missing or locked: a password answer
    // can then be remembered only until the program ends.
    Q_PROPERTY(bool keyringAvailable READ keyringAvailable NOTIFY keyringAvailableChanged)
    // Why, in a sentence, shown with the next password question and then
    // cleared: the user is told once.
    Q_PROPERTY(QString keyringNotice READ keyringNotice NOTIFY keyringNoticeChanged)

public:
    explicit ProfileManager(QObject *parent = nullptr);
    ~ProfileManager() override;

    int currentProfile() const { return m_currentProfile; }
    void setCurrentProfile(int index);
    int currentProfileQuery() const { return m_currentProfileQuery; }
    void setCurrentProfileQuery(int index) { m_currentProfileQuery = index; }
    int storeMessagesCount() const { return m_storeMessagesCount; }
    void setStoreMessagesCount(int count);
    int getMailTimerInterval() const { return m_getMailTimerInterval; }
    void setGetMailTimerInterval(int interval);
    bool deleteFromServer() const { return m_deleteFromServer; }
    void setDeleteFromServer(bool on);
    QVariantList profiles() const { return m_profiles; }
    void setProfiles(const QVariantList &profiles);
    bool keyringAvailable() const;
    QString keyringNotice() const { return m_keyringNotice; }

    // The account that a manager made now shows first: the one shown last,
    // or else the first; empty without accounts.
    static QString accountShownAtStart();

    // The account at a list position, or null when there is none.
    Profile *profileAt(int index) const;

signals:
    void currentProfileChanged();
    void profilesChanged();
    void storeMessagesCountChanged();
    void getMailTimerIntervalChanged(int interval);
    void deleteFromServerChanged();
    void keyringAvailableChanged();
    void keyringNoticeChanged();
    void error(QString e);
    void queryUsernameQml();
    void queryPasswordQml();
    void authFailedQml(QString e);
    void trayMessageQml(QString title, QString message);
    // A short word on a letter being sent, sent, or kept unsent.
    void sendNoticeQml(QString text, bool busy);

public slots:
    void addProfile(QString name, QString email, Server *inServer, Server *outServer,
                    QString login, QString password);
    void addProfile(QString name, QString email, Server *inServer, Server *outServer, QString login);
    void addProfile(QString name, QString email, Server *inServer, Server *outServer);
    void changeProfile(int index, QString name, QString email, Server *inServer, Server *outServer);
    void removeProfile(int index);
    void initCurrentProfile(int index);
    void setUsernameQml(QString user, bool save);
    void setPasswordQml(QString pass, bool save);

private slots:
    void queryUsername();
    void queryPassword();
    void authFailed(QString e);
    void onReceiveLetter(Letter *letter);
    void onKeyringStateChanged();

private:
    // One login or password question of one account. Questions are shown
    // one at a time, oldest first, and each answer goes to the account that
    // asked it, however many accounts ask at once.
    enum class Question { Username, Password };
    struct PendingQuestion
    {
        QPointer<Profile> profile;
        Question question;
    };
    void enqueue(Question question);
    // Shows the oldest question that still has an account, if none is shown.
    void showNextQuestion();
    // The account that asked the oldest question of that kind, taken off the
    // queue; null when there is none.
    Profile *takeAsker(Question question);

    // The notice of the new letters an account got since its last notice:
    // one per check, however many letters it brought.
    void showNewMailNotice(Profile *profile);

    void connectProfile(Profile *profile);
    void saveCurrentProfile() const;
    // The index of the account that sent the running signal, or -1.
    int senderIndex() const;

    QVariantList m_profiles;
    int m_currentProfile = -1;
    int m_currentProfileQuery = -1;
    int m_storeMessagesCount = 0;
    int m_getMailTimerInterval = Settings::defaultGetMailTimerInterval;
    bool m_deleteFromServer = false;
    QList<PendingQuestion> m_questions;
    bool m_questionShown = false;
    Keyring *m_keyring; // child
    // Every account checks and reconnects its push when the network changed.
    NetworkWatcher *m_network; // child
    QString m_keyringNotice;
    bool m_keyringNoticeGiven = false;
    // New unseen letters per account, not yet in a notice; the sender and
    // subject of the first name it when it is alone.
    struct NewMail
    {
        int count = 0;
        QString from;
        QString subject;
    };
    QHash<Profile *, NewMail> m_newMail;
};
