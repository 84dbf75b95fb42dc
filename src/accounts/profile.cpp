#include "accounts/profile.h"

#include "accounts/outbox.h"
#include "accounts/recordmirror.h"
#include "accounts/utils.h"
#include "base/caughtlog.h"
#include "base/filedialog.h"
#include "base/settings.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "model/storelayout.h"
#include "net/connection.h"
#include "net/idlewatcher.h"
#include "net/messagebuilder.h"
#include "servers/server.h"
#include "store/cache.h"
#include "store/mailcheck.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSignalBlocker>
#include <QtDebug>

#include <cerrno>
#include <cstdio>

namespace {
// A zero, negative or unreadable setting would check without pause.
constexpr int shortestTimerInterval = 60000;
}

Profile::Profile(QString email, QObject *parent)
    : QObject(parent)
    , m_email(std::move(email))
    , m_connection(std::make_unique<Connection>())
    , m_newLetter(std::make_unique<Letter>())
{
    m_outbox = new Outbox(this);
    m_search = new LetterSearch(this);
    m_searchResults = new SearchResults(m_search, this);
    m_records = new RecordMirror(m_connection.get(), this);
    Connection *c = m_connection.get();
    connect(this, &Profile::setUsername, c, &Connection::setUsername, Qt::QueuedConnection);
    connect(this, &Profile::setPassword, c, &Connection::setPassword, Qt::QueuedConnection);
    connect(this, &Profile::sendLetter, c, &Connection::onSendLetter, Qt::QueuedConnection);
    connect(c, &Connection::error, this, &Profile::errorSlot, Qt::QueuedConnection);
    connect(c, &Connection::queryUsername, this, &Profile::onUsernameWanted, Qt::QueuedConnection);
    connect(c, &Connection::queryPassword, this, &Profile::onPasswordWanted, Qt::QueuedConnection);
    connect(c, &Connection::authFailed, this, &Profile::authFailedSlot, Qt::QueuedConnection);
    connect(c, &Connection::sendFinished, this, &Profile::onSendFinished, Qt::QueuedConnection);
    connect(c, &Connection::mailArrived, this, &Profile::onMailArrived, Qt::QueuedConnection);

    const Settings::AccountRecord stored = Settings::account(m_email);
    m_incomingServerStr = stored.inServer;
    m_outgoingServerStr = stored.outServer;
}

Profile::~Profile()
{
    // The worker thread reads the letter being sent: stop it before any
    // letter goes.
    m_timer.stop();
    m_connection.reset();
    // The outbox goes with the children and keeps what the server never
    // took as drafts.
}

void Profile::initialize()
{
    if (m_initialized)
        return;
    m_initialized = true;

    const Settings::AccountRecord stored = Settings::account(m_email);
    m_name = stored.name;
    const QString inLogin = stored.inLogin;
    const QString outLogin = stored.outLogin;
    // Sealed passwords are there only until the keyring has taken them, and
    // one given before the start (a new account) is in memory; the others
    // come from the keyring when the worker first needs them.
    QString inPassword = stored.inPassword;
    QString outPassword = stored.outPassword;
    inPassword = inPassword.isEmpty() ? m_sessionPasswords[0] : Utils::decrypt(inPassword);
    outPassword = outPassword.isEmpty() ? m_sessionPasswords[1] : Utils::decrypt(outPassword);
    if (outPassword.isEmpty())
        outPassword = inPassword;
    m_storedPasswordGiven = {!inPassword.isEmpty(), !outPassword.isEmpty()};

    if (!m_incomingServerStr.isEmpty())
        buildFolders();

    m_connection->setAuthenticator(true, inLogin, inPassword);
    m_connection->setAuthenticator(false, outLogin, outPassword);
    m_connection->start(QThread::InheritPriority);

    connect(&m_timer, &QTimer::timeout, this, &Profile::queryIncomingMail, Qt::UniqueConnection);
    m_timer.setInterval(Settings::defaultGetMailTimerInterval);
    m_timer.setSingleShot(false);
    m_timer.start();
}

Model *Profile::folderModel(int folder) const
{
    return folder >= 0 && folder < int(m_models.size()) ? m_models[size_t(folder)].data() : nullptr;
}

ProxyModel *Profile::folder(int folder) const
{
    return folder >= 0 && folder < int(m_proxies.size()) ? m_proxies[size_t(folder)].data() : nullptr;
}

QVariantList Profile::folders() const
{
    QVariantList list;
    if (!m_proxies[0])
        return list;
    for (const auto &proxy : m_proxies)
        list.append(QVariant::fromValue<QObject *>(proxy.data()));
    return list;
}

void Profile::buildFolders()
{
    // The old store and models go once the QML has the new ones; nothing may
    // reach them in between.
    if (m_cache) {
        m_connection->disconnect(m_cache);
        m_cache->disconnect();
        m_cache->deleteLater();
    }
    for (auto &proxy : m_proxies) {
        if (proxy) {
            proxy->disconnect();
            proxy->deleteLater();
        }
    }
    for (auto &model : m_models) {
        if (model) {
            model->disconnect();
            model->deleteLater();
        }
    }

    m_cache = new Cache(m_email, m_incomingServerStr, this);
    m_outbox->setStore(m_cache);
    // A folder of many thousand letters takes a while to read: the window
    // is made meanwhile.
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        m_models[size_t(folder)] = new Model(StoreLayout::indexPath(m_email, folder), folder, this,
                                             Model::Loading::InBackground);
    }
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        auto *proxy = new ProxyModel(this);
        proxy->setSourceModel(m_models[size_t(folder)]);
        proxy->sort(0, Qt::DescendingOrder);
        m_proxies[size_t(folder)] = proxy;
    }
    connectSearch();
    emit foldersChanged();

    Cache *cache = m_cache;
    // A message that could not be stored is told to the user.
    connect(cache, &Cache::writeFailed, m_connection.get(), &Connection::onStoreWriteFailed,
            Qt::QueuedConnection);

    Model *incoming = m_models[Letter::IncomingFolder];
    connect(cache, &Cache::seenLetter, incoming, &Model::onSeenLetter);
    connect(incoming, &Model::unseenLettersChanged, this, &Profile::onUnseenLettersChanged);
    connect(cache, &Cache::letterFiled, this, [this](int folder, Letter *letter) {
        if (folder == Letter::IncomingFolder)
            emit receiveLetter(letter);
        if (Model *model = folderModel(folder))
            model->onNewLetter(letter);
    });
    connect(cache, &Cache::letterRemoved, this, [this](int folder, const QString &id) {
        if (Model *model = folderModel(folder))
            model->onRemoveLetterWithId(id);
    });

    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        connect(m_models[size_t(folder)], &Model::checkFolderLimits,
                m_proxies[size_t(folder)], &ProxyModel::onCheckFolderLimits);
        connect(m_proxies[size_t(folder)], &ProxyModel::beyondLimits, cache, &Cache::deleteMessage);
    }

    m_unseenLetters = incoming->unseenLetters();
    emit unseenLettersChanged();
}

void Profile::connectSearch()
{
    m_search->watch(m_cache);
    std::array<Model *, Letter::FolderCount> models{};
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        models[size_t(folder)] = m_models[size_t(folder)];
        m_proxies[size_t(folder)]->setTextSearch([search = m_search, folder](const QString &text) {
            return search->matchingNames(text, folder);
        });
    }
    m_searchResults->setFolders(models);
}

bool Profile::changeEmail(const QString &email)
{
    if (email == m_email)
        return true;
    const QString from = StoreLayout::accountPath(m_email);
    const QString to = StoreLayout::accountPath(email);
    if (email.isEmpty() || QFileInfo::exists(to))
        return false;
    const Keyring::Entry inBefore = passwordEntry(true);
    const Keyring::Entry outBefore = passwordEntry(false);
    setEmail(email);
    rehomePassword(inBefore, true);
    rehomePassword(outBefore, false);
    whenIdle([this, from, to] {
        if (QFileInfo::exists(to) || !QFileInfo::exists(from))
            return;
        // One rename: the letters are either all under the old name or all
        // under the new one, whatever happens to the process.
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
            qCritical() << "Profile::changeEmail(): cannot move" << from << "to" << to
                        << qt_error_string(errno);
            return;
        }
        if (m_cache)
            buildFolders();
    });
    return true;
}

void Profile::whenIdle(std::function<void()> job)
{
    m_idleJobs.append(std::move(job));
    runIdleJobs();
}

void Profile::runIdleJobs()
{
    while (status() == READY_STATUS && !m_idleJobs.isEmpty())
        m_idleJobs.takeFirst()();
}

void Profile::setUnseenLetters(int count)
{
    if (m_unseenLetters == count)
        return;
    m_unseenLetters = count;
    emit unseenLettersChanged();
}

void Profile::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void Profile::setEmail(const QString &email)
{
    if (m_email == email)
        return;
    m_email = email;
    emit emailChanged();
}

void Profile::setNewLetter(Letter *letter)
{
    // The letter being composed always belongs to the profile; QML may only
    // read this property.
    Q_UNUSED(letter)
}

Profile::Status Profile::status() const
{
    if (m_check)
        return RECIEVING_STATUS;
    if (m_outbox->hasLetterOut())
        return SENDING_STATUS;
    return READY_STATUS;
}

void Profile::updateStatus()
{
    // Idle jobs first: a record swapped between two letters is the one the
    // next letter goes to.
    if (status() == READY_STATUS) {
        runIdleJobs();
        sendNextLetter();
    }
    const Status now = status();
    if (now == m_status)
        return;
    m_status = now;
    emit statusChanged();
}

void Profile::queryIncomingMail()
{
    if (status() != READY_STATUS || !m_cache)
        return;
    m_check = new MailCheck(m_cache, this);
    m_check->attach(m_connection.get());
    connect(m_check, &MailCheck::ended, this, &Profile::onCheckEnded);
    updateStatus();
    m_check->start();
    if (m_timer.isActive())
        m_timer.start();
}

void Profile::setIncomingServer(QObject *incomingServer)
{
    takeRecord(true, incomingServer);
}

void Profile::setOutgoingServer(QObject *outgoingServer)
{
    takeRecord(false, outgoingServer);
}

void Profile::takeRecord(bool incoming, QObject *object)
{
    auto *server = qobject_cast<Server *>(object);
    if (!server)
        return;
    const Keyring::Entry before = passwordEntry(incoming);
    (incoming ? m_incomingServerStr : m_outgoingServerStr) = server->address();
    rehomePassword(before, incoming);
    const QPointer<Server> record(server);
    whenIdle([this, incoming, record] {
        if (!record)
            return;
        m_records->take(incoming, record);
        (incoming ? m_incomingServerStr : m_outgoingServerStr) = record->address();
        connect(record, qOverload<QString>(&Server::addressChanged), this,
                incoming ? &Profile::onIncomingServerAdressChanged
                         : &Profile::onOutgoingServerAdressChanged,
                Qt::QueuedConnection);
        if (incoming && !m_incomingServerStr.isEmpty())
            buildFolders();
    });
}

void Profile::onCheckEnded()
{
    if (MailCheck *check = m_check.data()) {
        // Nothing of it may reach the next check.
        check->disconnect();
        m_connection->disconnect(check);
        check->deleteLater();
        m_check.clear();
    }
    updateStatus();
}

void Profile::giveId(Letter *letter) const
{
    if (letter->id().isEmpty())
        letter->setId(Cache::newClientId());
}

void Profile::sendNewLetter()
{
    giveId(m_newLetter.get());
    // A letter given while the account is busy waits for the ready status
    // instead of being dropped. The compose form reuses its letter at once,
    // while the worker thread reads the one it sends later: it gets a copy.
    m_outbox->append(m_newLetter->copy(nullptr));
    // A draft saved on the way is this letter: the outbox keeps it now.
    discardNewLetterDraft();
    sendNextLetter();
}

void Profile::discardNewLetterDraft()
{
    if (m_cache && !m_newLetter->id().isEmpty())
        m_cache->discardMessage(MessageBuilder::messageId(m_newLetter->id()), Letter::DraftsFolder);
}

void Profile::sendNextLetter()
{
    if (status() != READY_STATUS)
        return;
    Letter *letter = m_outbox->startNext();
    if (!letter)
        return;
    updateStatus();
    emit sendNotice(tr("Sending \"%1\"...").arg(letter->subject()), true);
    emit sendLetter(letter);
}

void Profile::onSendFinished(Letter *letter, bool sent, QString failure, QByteArray content)
{
    const QString subject = letter ? letter->subject() : QString();
    if (!m_outbox->finish(letter, sent, content))
        return;
    if (sent) {
        emit sendNotice(tr("\"%1\" has been sent.").arg(subject), false);
    } else {
        emit sendNotice(tr("\"%1\" was not sent; it is kept in Drafts.").arg(subject), false);
        if (!failure.isEmpty())
            emit error(tr("Send mail error: ") + failure + QLatin1Char('\n')
                       + tr("The letter is kept in Drafts."));
    }
    updateStatus();
}

void Profile::saveNewLetterToDrafts()
{
    giveId(m_newLetter.get());
    if (m_cache)
        m_cache->saveLetterToFolder(m_newLetter.get(), Letter::DraftsFolder);
}

bool Profile::createAttachment()
{
    const QString path = FileDialog::getOpenFileName(tr("Choose file to attach"),
                                                     QDir::homePath() + QDir::separator());
    if (path.isEmpty())
        return false;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    try {
        auto handle = vmime::make_shared<vmime::fileAttachment>(
                path.toUtf8().toStdString(), vmime::mediaType(mime.name().toStdString()));
        auto *attachment = new Attachment(handle, this);
        QVariantList list = m_newLetter->attachList();
        list.append(QVariant::fromValue(attachment));
        // The compose form reads the list again after the call.
        const QSignalBlocker quiet(m_newLetter.get());
        m_newLetter->setAttachList(list);
        return true;
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    }
    return false;
}

void Profile::errorSlot(QString e)
{
    emit error(e);
}

void Profile::authFailedSlot(QString e)
{
    emit authFailed(e);
}

void Profile::onIncomingServerAdressChanged(QString address)
{
    const Keyring::Entry before = passwordEntry(true);
    m_incomingServerStr = address;
    rehomePassword(before, true);
    if (!address.isEmpty()) {
        whenIdle([this] {
            if (!m_incomingServerStr.isEmpty())
                buildFolders();
        });
    }
    save();
}

void Profile::onOutgoingServerAdressChanged(QString address)
{
    const Keyring::Entry before = passwordEntry(false);
    m_outgoingServerStr = address;
    rehomePassword(before, false);
    save();
}

void Profile::onGetMailIntervalChanged(int interval)
{
    m_timer.setInterval(qMax(interval, shortestTimerInterval));
    if (m_timer.isActive())
        m_timer.start();
}

void Profile::onMailArrived()
{
    if (m_checkWanted)
        return;
    m_checkWanted = true;
    whenIdle([this] {
        m_checkWanted = false;
        queryIncomingMail();
    });
}

void Profile::onNetworkChanged()
{
    if (!m_initialized)
        return;
    m_connection->idleWatcher()->reconnect();
    onMailArrived();
}

void Profile::onUnseenLettersChanged(int c)
{
    m_unseenLetters = c;
    emit unseenLettersChanged();
}

void Profile::save()
{
    Settings::saveAccount(m_email, m_name, m_incomingServerStr, m_outgoingServerStr);
}

void Profile::applyUsername(const QString &user, bool save)
{
    emit setUsername(user);
    if (save)
        Settings::setAccountValue(m_email, m_askingIncoming ? Settings::inLoginKey
                                                            : Settings::outLoginKey, user);
}

void Profile::applyPassword(const QString &password, bool save)
{
    emit setPassword(password);
    const bool incoming = m_askingIncoming;
    if (!save || password.isEmpty())
        return;
    // Kept in memory whatever the keyring does, and never in a weaker store:
    // without a keyring it lives until the program ends.
    m_sessionPasswords[incoming ? 0 : 1] = password;
    if (m_keyring)
        m_keyring->write(passwordEntry(incoming), password, this, nullptr);
}

void Profile::onUsernameWanted(const ServerQuestion &question)
{
    m_askingIncoming = question.incoming;
    emit queryUsername();
}

void Profile::onPasswordWanted(const ServerQuestion &question)
{
    const bool incoming = question.incoming;
    m_askingIncoming = incoming;
    bool &given = m_storedPasswordGiven[incoming ? 0 : 1];
    if (given) {
        emit queryPassword();
        return;
    }
    given = true;
    const QString remembered = m_sessionPasswords[incoming ? 0 : 1];
    if (!remembered.isEmpty() || !m_keyring) {
        if (remembered.isEmpty())
            emit queryPassword();
        else
            emit setPassword(remembered);
        return;
    }
    m_keyring->read(passwordEntry(incoming), this, [this, incoming](const QString &password) {
        if (!password.isEmpty()) {
            emit setPassword(password);
            return;
        }
        // An outgoing password never saved is the incoming one, as it was
        // in the settings file.
        if (incoming || !m_keyring) {
            emit queryPassword();
            return;
        }
        m_keyring->read(passwordEntry(true), this, [this](const QString &shared) {
            if (shared.isEmpty())
                emit queryPassword();
            else
                emit setPassword(shared);
        });
    });
}

Keyring::Entry Profile::passwordEntry(bool incoming) const
{
    return {m_email, incoming ? m_incomingServerStr : m_outgoingServerStr, incoming};
}

void Profile::rehomePassword(const Keyring::Entry &before, bool incoming)
{
    if (m_keyring && !before.account.isEmpty() && !before.server.isEmpty())
        m_keyring->move(before, passwordEntry(incoming));
}

void Profile::forgetPasswords()
{
    if (!m_keyring)
        return;
    m_keyring->remove(passwordEntry(true));
    m_keyring->remove(passwordEntry(false));
}

int Profile::pendingLetters() const
{
    return m_outbox->size();
}
