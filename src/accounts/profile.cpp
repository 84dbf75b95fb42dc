#include "profile.h"

#include "attachment.h"
#include "cache.h"
#include "connection.h"
#include "filedialog.h"
#include "letter.h"
#include "model.h"
#include "privatefiles.h"
#include "proxymodel.h"
#include "server.h"
#include "settings.h"
#include "utils.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSettings>
#include <QSignalBlocker>
#include <QtDebug>

#include <cerrno>
#include <cstdio>

namespace {
constexpr int defaultTimerInterval = 300000;
// A zero, negative or unreadable setting would check without pause.
constexpr int shortestTimerInterval = 60000;
}

Profile::Profile(QString email, QObject *parent)
    : QObject(parent)
    , m_email(std::move(email))
    , m_connection(std::make_unique<Connection>())
    , m_newLetter(std::make_unique<Letter>())
{
    Connection *c = m_connection.get();
    connect(this, &Profile::queryGetMail, c, qOverload<>(&Connection::onQueryGetMail), Qt::QueuedConnection);
    connect(this, &Profile::setUsername, c, &Connection::setUsername, Qt::QueuedConnection);
    connect(this, &Profile::setPassword, c, &Connection::setPassword, Qt::QueuedConnection);
    connect(this, &Profile::sendLetter, c, &Connection::onSendLetter, Qt::QueuedConnection);
    connect(c, &Connection::error, this, &Profile::errorSlot, Qt::QueuedConnection);
    connect(c, &Connection::queryUsername, this, &Profile::queryUsername, Qt::QueuedConnection);
    connect(c, &Connection::queryPassword, this, &Profile::queryPassword, Qt::QueuedConnection);
    connect(c, &Connection::authFailed, this, &Profile::authFailedSlot, Qt::QueuedConnection);
    connect(c, &Connection::connectionClosed, this, &Profile::setReadyStatus, Qt::QueuedConnection);
    connect(c, &Connection::sendFinished, this, &Profile::onSendFinished, Qt::QueuedConnection);

    QSettings settings;
    settings.beginGroup(Settings::profilesGroup);
    settings.beginGroup(m_email);
    m_incomingServerStr = settings.value(Settings::inServerKey, QString()).toString();
    m_outgoingServerStr = settings.value(Settings::outServerKey, QString()).toString();
}

Profile::~Profile()
{
    // The worker thread reads the letter being sent: stop it before any
    // letter goes.
    m_timer.stop();
    m_connection.reset();
    // Letters the server never took stay with the user as drafts.
    for (Letter *letter : qAsConst(m_outbox))
        keepUnsentLetter(letter);
    m_outbox.clear();
}

void Profile::initialize()
{
    if (m_initialized)
        return;
    m_initialized = true;

    QString inLogin, outLogin, inPassword, outPassword;
    {
        QSettings settings;
        settings.beginGroup(Settings::profilesGroup);
        settings.beginGroup(m_email);
        m_name = settings.value(Settings::nameKey, QString()).toString();
        inLogin = settings.value(Settings::inLoginKey, QString()).toString();
        outLogin = settings.value(Settings::outLoginKey, inLogin).toString();
        inPassword = settings.value(Settings::inPasswordKey, QString()).toString();
        outPassword = settings.value(Settings::outPasswordKey, inPassword).toString();
    }
    if (!inPassword.isEmpty())
        inPassword = Utils::decrypt(inPassword);
    if (!outPassword.isEmpty())
        outPassword = Utils::decrypt(outPassword);

    if (!m_incomingServerStr.isEmpty())
        buildFolders();

    m_connection->setAuthenticator(true, inLogin, inPassword);
    m_connection->setAuthenticator(false, outLogin, outPassword);
    m_connection->start(QThread::InheritPriority);

    connect(&m_timer, &QTimer::timeout, this, &Profile::queryIncomingMail, Qt::UniqueConnection);
    m_timer.setInterval(defaultTimerInterval);
    m_timer.setSingleShot(false);
    m_timer.start();
}

Model *Profile::folderModel(int folder) const
{
    return folder >= 0 && folder < int(m_models.size()) ? m_models[size_t(folder)].data() : nullptr;
}

void Profile::setProxy(int folder, ProxyModel *proxy)
{
    if (m_proxies[size_t(folder)] == proxy)
        return;
    m_proxies[size_t(folder)] = proxy;
    switch (folder) {
    case Letter::IncomingFolder: emit incomingProxyModelChanged(); break;
    case Letter::DraftsFolder: emit draftsProxyModelChanged(); break;
    case Letter::SentFolder: emit sentProxyModelChanged(); break;
    case Letter::ArchiveFolder: emit archiveProxyModelChanged(); break;
    case Letter::TrashFolder: emit trashProxyModelChanged(); break;
    }
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
    const QString dir = storePath(m_email) + QDir::separator();
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        const QString file = Cache::folderName(folder).toLower() + QStringLiteral(".conf");
        m_models[size_t(folder)] = new Model(dir + file, folder, this);
    }
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        auto *proxy = new ProxyModel(this);
        proxy->setSourceModel(m_models[size_t(folder)]);
        proxy->sort(0, Qt::DescendingOrder);
        m_proxies[size_t(folder)] = proxy;
    }
    emit incomingProxyModelChanged();
    emit draftsProxyModelChanged();
    emit sentProxyModelChanged();
    emit archiveProxyModelChanged();
    emit trashProxyModelChanged();

    Connection *c = m_connection.get();
    Cache *cache = m_cache;
    connect(c, &Connection::newMessageIds_chain, cache, &Cache::onNewMessageIds, Qt::QueuedConnection);
    connect(c, &Connection::messagesStored_chain, cache, &Cache::onMessagesStored, Qt::QueuedConnection);
    connect(cache, &Cache::getNewMail, c, qOverload<int>(&Connection::onQueryGetMail), Qt::QueuedConnection);
    connect(cache, &Cache::fetchMessages, c, &Connection::onFetchMessages, Qt::QueuedConnection);
    connect(cache, &Cache::setCheckMark, c, &Connection::onSetCheckMark, Qt::QueuedConnection);
    connect(cache, &Cache::lettersRecieved, c, &Connection::onCheckFinished, Qt::QueuedConnection);
    connect(cache, &Cache::deleteMessageFromServer, c, &Connection::onDeleteMessageFromServer,
            Qt::QueuedConnection);
    // A fetched message that could not be stored ends the check with a
    // message for the user.
    connect(cache, &Cache::writeFailed, c, &Connection::onStoreWriteFailed, Qt::QueuedConnection);

    Model *incoming = m_models[Letter::IncomingFolder];
    connect(cache, &Cache::seenLetter, incoming, &Model::onSeenLetter);
    connect(cache, &Cache::lettersRecieved, this, &Profile::setReadyStatus);
    connect(cache, &Cache::newIncomingLetter, this, &Profile::receiveLetter);
    connect(incoming, &Model::unseenLettersChanged, this, &Profile::onUnseenLettersChanged);

    connect(cache, &Cache::newIncomingLetter, incoming, &Model::onNewLetter);
    connect(cache, &Cache::newDraftLetter, m_models[Letter::DraftsFolder], &Model::onNewLetter);
    connect(cache, &Cache::newSentLetter, m_models[Letter::SentFolder], &Model::onNewLetter);
    connect(cache, &Cache::newArchiveLetter, m_models[Letter::ArchiveFolder], &Model::onNewLetter);
    connect(cache, &Cache::newTrashLetter, m_models[Letter::TrashFolder], &Model::onNewLetter);

    connect(cache, &Cache::removeIncomingLetter, incoming, &Model::onRemoveLetter);
    connect(cache, &Cache::removeDraftLetter, m_models[Letter::DraftsFolder], &Model::onRemoveLetter);
    connect(cache, &Cache::removeSentLetter, m_models[Letter::SentFolder], &Model::onRemoveLetter);
    connect(cache, &Cache::removeArchiveLetter, m_models[Letter::ArchiveFolder], &Model::onRemoveLetter);
    connect(cache, &Cache::removeTrashLetter, m_models[Letter::TrashFolder], &Model::onRemoveLetter);

    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        connect(m_models[size_t(folder)], &Model::checkFolderLimits,
                m_proxies[size_t(folder)], &ProxyModel::onCheckFolderLimits);
        connect(m_proxies[size_t(folder)], &ProxyModel::beyondLimits, cache, &Cache::deleteMessage);
    }

    m_unseenLetters = incoming->unseenLetters();
    emit unseenLettersChanged();
}

QString Profile::storePath(const QString &email)
{
    return PrivateFiles::storeRoot() + QDir::separator() + email;
}

bool Profile::changeEmail(const QString &email)
{
    if (email == m_email)
        return true;
    const QString from = storePath(m_email);
    const QString to = storePath(email);
    if (email.isEmpty() || QFileInfo::exists(to))
        return false;
    setEmail(email);
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
    while (m_status == READY_STATUS && !m_idleJobs.isEmpty())
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

void Profile::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    emit statusChanged();
    runIdleJobs();
    if (m_status == READY_STATUS)
        sendNextLetter();
}

void Profile::queryIncomingMail()
{
    if (m_status != READY_STATUS)
        return;
    m_status = RECIEVING_STATUS;
    emit statusChanged();
    emit queryGetMail();
    if (m_timer.isActive())
        m_timer.start();
}

void Profile::setIncomingServer(QObject *incomingServer)
{
    auto *server = qobject_cast<Server *>(incomingServer);
    if (!server)
        return;
    m_incomingServerStr = server->address();
    const QPointer<Server> record(server);
    whenIdle([this, record] {
        if (!record)
            return;
        takeServer(true, record);
        m_incomingServerStr = record->address();
        connect(record, qOverload<QString>(&Server::addressChanged), this,
                &Profile::onIncomingServerAdressChanged, Qt::QueuedConnection);
        if (!m_incomingServerStr.isEmpty())
            buildFolders();
    });
}

void Profile::setOutgoingServer(QObject *outgoingServer)
{
    auto *server = qobject_cast<Server *>(outgoingServer);
    if (!server)
        return;
    m_outgoingServerStr = server->address();
    const QPointer<Server> record(server);
    whenIdle([this, record] {
        if (!record)
            return;
        takeServer(false, record);
        m_outgoingServerStr = record->address();
        connect(record, qOverload<QString>(&Server::addressChanged), this,
                &Profile::onOutgoingServerAdressChanged, Qt::QueuedConnection);
    });
}

// Who deletes a server record: the record handed in stays on this thread
// with its owner (the server manager, or this profile when it had none); the
// connection gets a copy of it that only the connection owns and deletes.
// Queued relays join the two, and Qt drops them when either side goes, so no
// holder is ever left with a deleted record.
void Profile::takeServer(bool incoming, Server *front)
{
    QPointer<Server> &current = incoming ? m_incomingFront : m_outgoingFront;
    if (current && current != front) {
        current->disconnect(this);
        if (current->parent() == this)
            current->deleteLater();
    }
    current = front;
    if (!front->parent() && front->thread() == thread())
        front->setParent(this);

    Server *worker = front->clone();
    // Certificate questions of the worker copy are the record's questions;
    // the user's answer to the record goes back to the copy's verifier.
    connect(worker, &Server::queryCertificate, front, &Server::queryCertificate, Qt::QueuedConnection);
    connect(front, &Server::userAnswer, worker, &Server::userAnswer, Qt::QueuedConnection);
    // Edits of the record reach the copy on its own thread; the values travel
    // in the queued call, so neither side reads the other across threads.
    auto edited = [this, incoming, front] {
        emit serverRecordEdited(incoming, int(front->protocol()), int(front->ssl()),
                                int(front->auth()), front->address());
    };
    connect(front, qOverload<>(&Server::addressChanged), this, edited);
    connect(front, &Server::protocolChanged, this, edited);
    connect(front, &Server::sslChanged, this, edited);
    connect(front, &Server::authChanged, this, edited);
    connect(this, &Profile::serverRecordEdited, worker,
            [worker, incoming](bool forIncoming, int protocol, int ssl, int auth, QString address) {
                if (forIncoming != incoming)
                    return;
                worker->setProtocol(ServerManager::Protocol(protocol));
                worker->setSsl(ServerManager::Ssl(ssl));
                worker->setAuth(ServerManager::Auth(auth));
                worker->setAddress(address);
            }, Qt::QueuedConnection);
    m_connection->setServer(incoming, worker);
}

void Profile::setReadyStatus()
{
    m_status = READY_STATUS;
    emit statusChanged();
    runIdleJobs();
    sendNextLetter();
}

void Profile::giveId(Letter *letter) const
{
    if (letter->id().isEmpty())
        letter->setId(QString::number(QDateTime::currentMSecsSinceEpoch()));
}

Letter *Profile::snapshot(Letter *letter)
{
    // The compose form reuses its letter at once, while the worker thread
    // reads the one it sends later: it gets a copy of its own.
    auto *copy = new Letter(this);
    copy->setId(letter->id());
    copy->setFrom(letter->from());
    copy->setReplyTo(letter->replyTo());
    copy->setSubject(letter->subject());
    copy->setDate(letter->date());
    copy->setBodyHtmlList(letter->bodyHtmlList());
    copy->setBodyList(letter->bodyList());
    copy->setToList(letter->toList());
    copy->setCopyList(letter->copyList());
    copy->setLetterType(letter->letterType());
    copy->setFolderType(letter->folderType());
    copy->setAttachments(letter->attachList());
    return copy;
}

void Profile::sendNewLetter()
{
    giveId(m_newLetter.get());
    // A letter given while the account is busy waits for the ready status
    // instead of being dropped.
    m_outbox.append(snapshot(m_newLetter.get()));
    sendNextLetter();
}

void Profile::sendNextLetter()
{
    if (m_sending || m_outbox.isEmpty() || m_status != READY_STATUS)
        return;
    m_sending = m_outbox.first();
    m_status = SENDING_STATUS;
    emit statusChanged();
    emit sendLetter(m_sending);
}

void Profile::onSendFinished(Letter *letter, bool sent, QString failure)
{
    if (!letter || letter != m_sending)
        return;
    m_sending = nullptr;
    m_outbox.removeOne(letter);
    if (sent) {
        // Filed only now that the server has taken it.
        if (m_cache)
            m_cache->saveLetterToFolder(letter, Letter::SentFolder);
    } else {
        keepUnsentLetter(letter);
        if (!failure.isEmpty())
            emit error(tr("Send mail error: ") + failure);
    }
    letter->deleteLater();
    setReadyStatus();
}

void Profile::keepUnsentLetter(Letter *letter)
{
    if (m_cache) {
        m_cache->saveLetterToFolder(letter, Letter::DraftsFolder);
        return;
    }
    qCritical() << "Profile::keepUnsentLetter(): no mail store for" << m_email
                << "to keep the unsent letter" << letter->subject();
}

void Profile::saveNewLetterToDrafts()
{
    giveId(m_newLetter.get());
    if (m_cache)
        m_cache->saveLetterToFolder(m_newLetter.get(), Letter::DraftsFolder);
}

void Profile::createAttachment()
{
    const QString path = FileDialog::getOpenFileName(tr("Choose file to attach"),
                                                     QDir::homePath() + QDir::separator());
    if (path.isEmpty())
        return;
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
    } catch (vmime::exception &e) {
        qCritical() << "Profile::createAttachment(): vmime::exception:" << e.what();
    }
}

void Profile::errorSlot(QString e)
{
    setReadyStatus();
    emit error(e);
}

void Profile::authFailedSlot(QString e)
{
    setReadyStatus();
    emit authFailed(e);
}

void Profile::onIncomingServerAdressChanged(QString address)
{
    m_incomingServerStr = address;
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
    m_outgoingServerStr = address;
    save();
}

void Profile::onGetMailIntervalChanged(int interval)
{
    m_timer.setInterval(qMax(interval, shortestTimerInterval));
    if (m_timer.isActive())
        m_timer.start();
}

void Profile::onUnseenLettersChanged(int c)
{
    m_unseenLetters = c;
    emit unseenLettersChanged();
}

void Profile::writeAccountKey(const QString &key, const QVariant &value) const
{
    QSettings settings;
    settings.beginGroup(Settings::profilesGroup);
    settings.beginGroup(m_email);
    settings.setValue(key, value);
}

void Profile::save()
{
    QSettings settings;
    settings.beginGroup(Settings::profilesGroup);
    settings.beginGroup(m_email);
    settings.setValue(Settings::nameKey, m_name);
    settings.setValue(Settings::inServerKey, m_incomingServerStr);
    settings.setValue(Settings::outServerKey, m_outgoingServerStr);
}

void Profile::applyUsername(const QString &user, bool save)
{
    emit setUsername(user);
    if (save)
        writeAccountKey(m_status == SENDING_STATUS ? Settings::outLoginKey : Settings::inLoginKey, user);
}

void Profile::applyPassword(const QString &password, bool save)
{
    emit setPassword(password);
    if (save)
        writeAccountKey(m_status == SENDING_STATUS ? Settings::outPasswordKey : Settings::inPasswordKey,
                        Utils::encrypt(password));
}
