#include "accounts/profilemanager.h"

#include "accounts/passwordmigration.h"
#include "accounts/profile.h"
#include "base/keyring.h"
#include "base/settings.h"
#include "model/letter.h"
#include "net/networkwatcher.h"
#include "servers/server.h"


QString ProfileManager::accountShownAtStart()
{
    const QStringList emails = Settings::accounts();
    const QString remembered = Settings::currentProfile();
    return emails.contains(remembered) ? remembered : emails.value(0);
}

ProfileManager::ProfileManager(QObject *parent)
    : QObject(parent)
    , m_keyring(new Keyring(this))
    , m_network(new NetworkWatcher(this))
{
    connect(m_keyring, &Keyring::stateChanged, this, &ProfileManager::onKeyringStateChanged);
    // Before any account asks: the keyring does its work in the order given.
    (new PasswordMigration(m_keyring, this))->start();
    const QString shown = accountShownAtStart();
    m_storeMessagesCount = Settings::storeMessagesCount();
    m_getMailTimerInterval = Settings::getMailTimerInterval();
    m_deleteFromServer = Settings::deleteFromServer();

    const QStringList emails = Settings::accounts();
    for (const QString &email : qAsConst(emails)) {
        auto *profile = new Profile(email, this);
        connectProfile(profile);
        if (email == shown) {
            m_currentProfile = m_profiles.size();
            profile->initialize();
        }
        m_profiles.append(QVariant::fromValue(profile));
        // Every account connected so far takes the configured interval; one
        // made current later keeps its own default until the setting changes.
        emit getMailTimerIntervalChanged(m_getMailTimerInterval);
    }
    // The account shown last is gone: the first one is shown instead.
    if (!shown.isEmpty() && shown != Settings::currentProfile())
        saveCurrentProfile();
}

ProfileManager::~ProfileManager()
{
    // The accounts are children and go with the manager.
    m_profiles.clear();
}

Profile *ProfileManager::profileAt(int index) const
{
    if (index < 0 || index >= m_profiles.size())
        return nullptr;
    return qobject_cast<Profile *>(m_profiles.at(index).value<QObject *>());
}

void ProfileManager::connectProfile(Profile *profile)
{
    profile->setKeyring(m_keyring);
    connect(profile, &Profile::error, this, &ProfileManager::error);
    connect(profile, &Profile::sendNotice, this, &ProfileManager::sendNoticeQml);
    connect(profile, &Profile::queryUsername, this, &ProfileManager::queryUsername);
    connect(profile, &Profile::queryPassword, this, &ProfileManager::queryPassword);
    connect(profile, &Profile::authFailed, this, &ProfileManager::authFailed);
    connect(profile, &Profile::receiveLetter, this, &ProfileManager::onReceiveLetter);
    connect(profile, &Profile::statusChanged, this, [this, profile] {
        if (profile->status() != Profile::RECIEVING_STATUS)
            showNewMailNotice(profile);
    });
    connect(profile, &QObject::destroyed, this, [this, profile] { m_newMail.remove(profile); });
    connect(this, &ProfileManager::getMailTimerIntervalChanged, profile, &Profile::onGetMailIntervalChanged);
    connect(m_network, &NetworkWatcher::changed, profile, &Profile::onNetworkChanged);
}

void ProfileManager::saveCurrentProfile() const
{
    if (Profile *profile = profileAt(m_currentProfile))
        Settings::setCurrentProfile(profile->email());
}

void ProfileManager::setCurrentProfile(int index)
{
    if (m_currentProfile == index)
        return;
    m_currentProfile = index;
    emit currentProfileChanged();
}

void ProfileManager::setStoreMessagesCount(int count)
{
    if (m_storeMessagesCount == count)
        return;
    m_storeMessagesCount = count;
    emit storeMessagesCountChanged();
    Settings::setStoreMessagesCount(count);
}

void ProfileManager::setGetMailTimerInterval(int interval)
{
    if (m_getMailTimerInterval == interval)
        return;
    m_getMailTimerInterval = interval;
    emit getMailTimerIntervalChanged(interval);
    Settings::setGetMailTimerInterval(interval);
}

void ProfileManager::setDeleteFromServer(bool on)
{
    if (m_deleteFromServer == on)
        return;
    m_deleteFromServer = on;
    emit deleteFromServerChanged();
    Settings::setDeleteFromServer(on);
}

void ProfileManager::setProfiles(const QVariantList &profiles)
{
    if (m_profiles == profiles)
        return;
    m_profiles = profiles;
    emit profilesChanged();
}

void ProfileManager::addProfile(QString name, QString email, Server *inServer, Server *outServer,
                                QString login, QString password)
{
    auto *profile = new Profile(email, this);
    profile->setKeyring(m_keyring);
    profile->setName(name);
    profile->setIncomingServer(inServer);
    profile->setOutgoingServer(outServer);
    // Always written, even when empty: a new account is ready, so these are
    // the incoming keys.
    profile->applyUsername(login, true);
    profile->applyPassword(password, true);
    profile->save();
    m_profiles.append(QVariant::fromValue(profile));
    emit profilesChanged();
    connectProfile(profile);

    if (m_currentProfile == -1) {
        m_currentProfile = 0;
        emit currentProfileChanged();
        profileAt(0)->initialize();
        saveCurrentProfile();
    }
}

void ProfileManager::addProfile(QString name, QString email, Server *inServer, Server *outServer,
                                QString login)
{
    addProfile(name, email, inServer, outServer, login, QString());
}

void ProfileManager::addProfile(QString name, QString email, Server *inServer, Server *outServer)
{
    addProfile(name, email, inServer, outServer, QString(), QString());
}

void ProfileManager::changeProfile(int index, QString name, QString email, Server *inServer,
                                   Server *outServer)
{
    Profile *profile = profileAt(index);
    if (!profile)
        return;
    const QString oldEmail = profile->email();
    if (oldEmail != email) {
        // The letters move with the address; another account's letters
        // already under the new address are never mixed in.
        if (!profile->changeEmail(email)) {
            emit error(tr("The address %1 cannot be used: letters of that address are already stored.")
                               .arg(email));
            return;
        }
        Settings::removeAccount(oldEmail);
    }
    profile->setName(name);
    const QString inAddress = inServer ? inServer->address() : QString();
    const QString outAddress = outServer ? outServer->address() : QString();
    if (inAddress != profile->incomingServerStr())
        profile->setIncomingServer(inServer);
    if (outAddress != profile->outgoingServerStr())
        profile->setOutgoingServer(outServer);
    profile->save();
}

void ProfileManager::removeProfile(int index)
{
    if (index < 0 || index >= m_profiles.size())
        return;
    const QVariant item = m_profiles.takeAt(index);
    if (auto *profile = qobject_cast<Profile *>(item.value<QObject *>())) {
        Settings::removeAccount(profile->email());
        profile->forgetPasswords();
        profile->deleteLater();
    }
    emit profilesChanged();

    if (index == m_currentProfile) {
        if (!m_profiles.isEmpty()) {
            m_currentProfile = 0;
            if (Profile *first = profileAt(0))
                first->initialize();
            saveCurrentProfile();
        } else {
            m_currentProfile = -1;
        }
        emit currentProfileChanged();
    } else if (index < m_currentProfile) {
        // Keep pointing at the same account rather than at the next one.
        --m_currentProfile;
        emit currentProfileChanged();
    }
    if (index == m_currentProfileQuery)
        m_currentProfileQuery = -1;
    else if (index < m_currentProfileQuery)
        --m_currentProfileQuery;
    // The removed account's questions go with it; the next one is shown.
    Profile *removed = qobject_cast<Profile *>(item.value<QObject *>());
    const bool shownWasRemoved = !m_questions.isEmpty() && m_questions.first().profile == removed;
    for (int i = m_questions.size() - 1; i >= 0; --i) {
        if (m_questions.at(i).profile == removed)
            m_questions.removeAt(i);
    }
    if (shownWasRemoved) {
        m_questionShown = false;
        showNextQuestion();
    }
}

void ProfileManager::initCurrentProfile(int index)
{
    if (index == m_currentProfile)
        return;
    m_currentProfile = index;
    emit currentProfileChanged();
    if (Profile *profile = profileAt(index)) {
        profile->initialize();
        profile->queryIncomingMail();
        saveCurrentProfile();
    }
}

int ProfileManager::senderIndex() const
{
    auto *profile = qobject_cast<Profile *>(sender());
    if (!profile)
        return -2;
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles.at(i).value<QObject *>() == profile)
            return i;
    }
    return -1;
}

void ProfileManager::enqueue(Question question)
{
    auto *profile = qobject_cast<Profile *>(sender());
    if (!profile || !m_profiles.contains(QVariant::fromValue(profile)))
        return;
    m_questions.append({profile, question});
    showNextQuestion();
}

void ProfileManager::showNextQuestion()
{
    if (m_questionShown)
        return;
    while (!m_questions.isEmpty()) {
        const PendingQuestion &next = m_questions.first();
        const int index = next.profile ? m_profiles.indexOf(QVariant::fromValue(next.profile.data())) : -1;
        if (index < 0) {
            m_questions.removeFirst();
            continue;
        }
        m_currentProfileQuery = index;
        m_questionShown = true;
        if (next.question == Question::Username)
            emit queryUsernameQml();
        else
            emit queryPasswordQml();
        return;
    }
}

Profile *ProfileManager::takeAsker(Question question)
{
    for (int i = 0; i < m_questions.size(); ++i) {
        if (m_questions.at(i).question != question)
            continue;
        Profile *profile = m_questions.takeAt(i).profile;
        // The answer is to the question on screen, whichever it was.
        m_questionShown = false;
        return profile;
    }
    return nullptr;
}

void ProfileManager::queryUsername()
{
    enqueue(Question::Username);
}

void ProfileManager::queryPassword()
{
    enqueue(Question::Password);
}

void ProfileManager::authFailed(QString e)
{
    const int index = senderIndex();
    if (index < 0)
        return;
    // A question on screen keeps its account for the answer.
    if (!m_questionShown)
        m_currentProfileQuery = index;
    emit authFailedQml(e);
}

void ProfileManager::setUsernameQml(QString user, bool save)
{
    // No account asked, or it is gone: the answer has nobody to go to.
    if (Profile *profile = takeAsker(Question::Username))
        profile->applyUsername(user.trimmed(), save);
    showNextQuestion();
}

void ProfileManager::setPasswordQml(QString pass, bool save)
{
    if (!m_keyringNotice.isEmpty()) {
        m_keyringNotice.clear();
        emit keyringNoticeChanged();
    }
    if (Profile *profile = takeAsker(Question::Password))
        profile->applyPassword(pass.trimmed(), save);
    showNextQuestion();
}

void ProfileManager::onReceiveLetter(Letter *letter)
{
    auto *profile = qobject_cast<Profile *>(sender());
    if (!profile || !letter || letter->letterType() != Letter::LetterUnseen)
        return;
    NewMail &news = m_newMail[profile];
    if (++news.count == 1) {
        news.from = letter->from();
        news.subject = letter->subject();
    }
    // Outside a check nothing gathers more letters.
    if (profile->status() != Profile::RECIEVING_STATUS)
        showNewMailNotice(profile);
}

void ProfileManager::showNewMailNotice(Profile *profile)
{
    const NewMail news = m_newMail.take(profile);
    if (news.count == 1)
        emit trayMessageQml(tr("New message:"), news.from + QLatin1Char('\n') + news.subject);
    else if (news.count > 1)
        emit trayMessageQml(tr("New messages:"), tr("%n new letters", nullptr, news.count));
}

bool ProfileManager::keyringAvailable() const
{
    return m_keyring->state() != Keyring::Missing && m_keyring->state() != Keyring::Locked;
}

void ProfileManager::onKeyringStateChanged()
{
    emit keyringAvailableChanged();
    if (keyringAvailable() || m_keyringNoticeGiven)
        return;
    m_keyringNoticeGiven = true;
    m_keyringNotice = m_keyring->state() == Keyring::Locked
            ? tr("The desktop's keyring is locked, so passwords cannot be kept in it. A password "
                 "you type is kept only while the program runs and is never written to disk.")
            : tr("No desktop keyring (such as GNOME Keyring or KWallet) is running, so passwords "
                 "cannot be kept. A password you type is kept only while the program runs and is "
                 "never written to disk.");
    emit keyringNoticeChanged();
}
