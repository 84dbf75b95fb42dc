#include "connection.h"

#include "attachment.h"
#include "authenticator.h"
#include "crashpoint.h"
#include "incomingserver.h"
#include "letter.h"
#include "server.h"

#include <QtDebug>

namespace {
// Without a charset the library labels text with the locale's, which under a
// non-UTF-8 locale turns every non-ASCII letter into "?".
vmime::text utf8Text(const QString &text)
{
    return vmime::text(text.toUtf8().toStdString(), vmime::charset(vmime::charsets::UTF_8));
}

// Messages per command: as fast as larger windows, and little to hold.
const int windowSize = 50;
}

Connection::Connection(QObject *parent)
    : QThread(parent)
{
    qRegisterMetaType<StoredMessages>("StoredMessages");
    qRegisterMetaType<QList<int>>("QList<int>");
    moveToThread(this);
}

Connection::~Connection()
{
    requestInterruption();
    quit();
    wait();
    // Records handed over to a thread that never ran.
    QMutexLocker locker(&m_recordsLock);
    qDeleteAll(m_records);
    m_records.clear();
}

void Connection::run()
{
    m_session = vmime::net::session::create();
    for (Server *server : {m_incoming, m_outgoing}) {
        if (server)
            server->setSession(m_session);
    }
    exec();
    // The records end with the thread that owns them.
    m_incoming = nullptr;
    m_outgoing = nullptr;
    QMutexLocker locker(&m_recordsLock);
    qDeleteAll(m_records);
    m_records.clear();
}

void Connection::setAuthenticator(const bool &incoming, QString login, QString password)
{
    auto authenticator = std::make_shared<Authenticator>(login, password);
    authenticator->moveToThread(this);
    const bool in = incoming;
    // Installed on the worker thread, in order with the jobs queued there.
    QMetaObject::invokeMethod(this, [this, in, authenticator] {
        installAuthenticator(in, authenticator);
    }, Qt::QueuedConnection);
}

void Connection::installAuthenticator(bool incoming, std::shared_ptr<Authenticator> authenticator)
{
    connect(authenticator.get(), &Authenticator::queryUsername, this,
            &Connection::queryUsernameSlot, Qt::DirectConnection);
    connect(authenticator.get(), &Authenticator::queryPassword, this,
            &Connection::queryPasswordSlot, Qt::DirectConnection);
    // A server installed before the login arrived (the account was started
    // after its records were handed over) uses it as well.
    if (Server *server = incoming ? m_incoming : m_outgoing)
        server->setAuthenticator(authenticator);
    (incoming ? m_incomingAuthenticator : m_outgoingAuthenticator) = std::move(authenticator);
}

void Connection::setServer(const bool &incoming, Server *server)
{
    // From here on the Connection owns the record: it deletes it when it is
    // replaced and when the thread ends; nobody else may delete it.
    if (server) {
        server->setParent(nullptr);
        server->moveToThread(this);
        QMutexLocker locker(&m_recordsLock);
        m_records.append(server);
    }
    const bool in = incoming;
    QMetaObject::invokeMethod(this, [this, in, server] { installServer(in, server); },
                              Qt::QueuedConnection);
}

void Connection::installServer(bool incoming, Server *server)
{
    Server *&slot = incoming ? m_incoming : m_outgoing;
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
    connect(server, &Server::authFailed, this, &Connection::authFailed);
}

IncomingServer *Connection::incoming() const
{
    return qobject_cast<IncomingServer *>(m_incoming);
}

template<typename Job>
void Connection::fetchJob(const char *operation, Job job)
{
    // A check that failed once stops here: the windows the store asked for
    // ahead are dropped, and the next check starts afresh.
    m_checkFailed = true;
    try {
        job();
        m_checkFailed = false;
        return;
    } catch (const vmime::exceptions::authentication_error &e) {
        const QString response = QString::fromLatin1(e.response().c_str());
        qCritical().noquote() << operation << "vmime::exception::authentication_error:" << e.what()
                              << response;
        emit authFailed(response);
    } catch (const vmime::security::cert::certificateException &e) {
        qCritical().noquote() << operation << "vmime::exception::certificateException:" << e.what();
        emit connectionClosed();
    } catch (const vmime::exception &e) {
        qCritical().noquote() << operation << "vmime::exception:" << e.what();
        emit error(tr("Get mail error: ") + QString::fromUtf8(e.name()) + QStringLiteral(": ")
                   + QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        qCritical().noquote() << operation << "std::exception:" << e.what();
        emit error(tr("Get mail error: ") + QString::fromUtf8(e.what()));
    }
}

void Connection::onQueryGetMail(int index)
{
    IncomingServer *server = incoming();
    if (!server) {
        emit connectionClosed();
        return;
    }
    if (index > 0 && m_checkFailed)
        return;
    fetchJob("Connection::onQueryGetMail():", [&] {
        int high = index;
        if (index <= 0) {
            high = server->startCheck();
            if (high < 1) {
                emit connectionClosed();
                return;
            }
        }
        const QVector<QPair<int, QString>> window
                = server->messageIds(qMax(1, high - windowSize + 1), high);
        QList<int> numbers;
        QStringList ids;
        for (const auto &entry : window) {
            numbers.append(entry.first);
            ids.append(entry.second);
        }
        if (numbers.isEmpty()) {
            // Every message of the window went away meanwhile.
            numbers.append(qMax(1, high - windowSize + 1));
            ids.append(QString());
        }
        emit newMessageIds_chain(numbers, ids, index <= 0);
    });
}

void Connection::onFetchMessages(QList<int> numbers, QStringList fileNames, QString directory)
{
    IncomingServer *server = incoming();
    if (!server) {
        emit connectionClosed();
        return;
    }
    if (m_checkFailed)
        return;
    fetchJob("Connection::onFetchMessages():", [&] {
        const QMap<int, QByteArray> contents = server->contents(numbers);
        QVector<MessageFiles::Pending> files;
        StoredMessages stored;
        for (int i = 0; i < numbers.size(); ++i) {
            const auto it = contents.constFind(numbers.at(i));
            if (it == contents.cend())
                continue;
            files.append({fileNames.value(i), it.value()});
            StoredMessage message;
            message.number = numbers.at(i);
            message.fields = ListFields::fromMessage(it.value());
            stored.append(message);
        }
        QString failure;
        if (!MessageFiles::writeDurably(directory, files, &failure)) {
            throw std::runtime_error(tr("Cannot store the message %1").arg(failure).toStdString());
        }
        emit messagesStored_chain(stored);
    });
}

void Connection::onSetCheckMark(QString path, QByteArray content, bool present)
{
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
    if (IncomingServer *server = incoming())
        server->endCheck();
}

void Connection::onDeleteMessageFromServer(int index)
{
    if (!m_incoming)
        return;
    try {
        m_incoming->deleteMessageByNumber(index);
    } catch (const vmime::exception &e) {
        qCritical() << "Connection::onDeleteMessageFromServer():" << e.what();
        emit error(tr("Delete mail from server error: ") + QString::fromUtf8(e.name())
                   + QStringLiteral(": ") + QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        qCritical() << "Connection::onDeleteMessageFromServer(): std::exception:" << e.what();
        emit error(tr("Delete mail from server error: ") + QString::fromUtf8(e.what()));
    }
}

void Connection::onStoreWriteFailed(QString message)
{
    emit error(tr("Get mail error: ") + message);
}

void Connection::onSendLetter(Letter *letter)
{
    // Every send ends with sendFinished(), so the account knows whether the
    // server took the letter; failure carries the words for a failure that no
    // error() has reported.
    if (!m_outgoing) {
        emit sendFinished(letter, false, tr("no outgoing server is set for this account."));
        return;
    }
    try {
        const vmime::shared_ptr<vmime::message> message = toVmimeMessage(letter);
        if (!message) {
            // Nothing to send; the builder has logged why.
            emit error(tr("Send mail error: ") + tr("the letter could not be turned into a message."));
            emit sendFinished(letter, false, QString());
            return;
        }
        const bool sent = m_outgoing->sendMessage(message);
        emit sendFinished(letter, sent,
                          sent ? QString() : tr("could not connect to the outgoing server."));
        emit connectionClosed();
    } catch (const vmime::exceptions::authentication_error &e) {
        qCritical() << "Connection::onSendLetter(): vmime::exception::authentication_error:"
                    << e.what() << QString::fromLatin1(e.response().c_str());
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.what()) + QStringLiteral(": ")
                   + QString::fromLatin1(e.response().c_str()));
        emit sendFinished(letter, false, QString());
    } catch (const vmime::security::cert::certificateException &e) {
        qCritical() << "Connection::onSendLetter(): vmime::exception::certificateException:"
                    << e.what();
        emit sendFinished(letter, false, tr("the server's certificate was not accepted."));
        // The user said no; the account must still leave its sending state.
        emit connectionClosed();
    } catch (const vmime::exception &e) {
        qCritical() << "Connection::onSendLetter(): vmime::exception:" << e.what();
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.name()) + QStringLiteral(": ")
                   + QString::fromUtf8(e.what()));
        emit sendFinished(letter, false, QString());
    } catch (const std::exception &e) {
        qCritical() << "Connection::onSendLetter(): std::exception:" << e.what();
        emit error(tr("Send mail error: ") + QString::fromUtf8(e.what()));
        emit sendFinished(letter, false, QString());
    }
}

void Connection::queryUsernameSlot()
{
    emit queryUsername();
    for (const auto &authenticator : {m_incomingAuthenticator, m_outgoingAuthenticator}) {
        if (authenticator)
            connect(this, &Connection::setUsernameSignal, authenticator.get(),
                    &Authenticator::setUsername, Qt::UniqueConnection);
    }
}

void Connection::queryPasswordSlot()
{
    emit queryPassword();
    for (const auto &authenticator : {m_incomingAuthenticator, m_outgoingAuthenticator}) {
        if (authenticator)
            connect(this, &Connection::setPasswordSignal, authenticator.get(),
                    &Authenticator::setPassword, Qt::UniqueConnection);
    }
}

void Connection::setUsername(QString user)
{
    emit setUsernameSignal(user);
    disconnect(this, &Connection::setUsernameSignal, nullptr, nullptr);
}

void Connection::setPassword(QString pass)
{
    emit setPasswordSignal(pass);
    disconnect(this, &Connection::setPasswordSignal, nullptr, nullptr);
}

vmime::shared_ptr<vmime::message> Connection::toVmimeMessage(Letter *letter, bool forFiling)
{
    vmime::shared_ptr<vmime::message> message;
    if (!letter)
        return message;
    try {
        vmime::messageBuilder builder;

        const QString from = letter->from();
        const QStringList fromParts = from.split(QStringLiteral(" <"));
        if (fromParts.size() == 2 && fromParts.at(1).contains(QLatin1Char('@'))) {
            QString address = fromParts.at(1);
            if (address.endsWith(QLatin1Char('>')))
                address.chop(1);
            builder.setExpeditor(vmime::mailbox(utf8Text(fromParts.at(0)),
                                                vmime::emailAddress(address.toStdString())));
        } else {
            builder.setExpeditor(vmime::mailbox(vmime::emailAddress(from.toStdString())));
        }

        vmime::addressList recipients;
        for (const QString &entry : letter->toList()) {
            const QStringList parts = entry.split(QStringLiteral(":::"));
            const vmime::emailAddress address(parts.at(0).toStdString());
            const QString name = parts.size() > 1 ? parts.at(1) : QString();
            if (name.isEmpty())
                recipients.appendAddress(vmime::make_shared<vmime::mailbox>(address));
            else
                recipients.appendAddress(vmime::make_shared<vmime::mailbox>(
                        utf8Text(name), address));
        }
        // The builder refuses a message without recipients; a filed draft
        // gets a stand-in that is taken out again below.
        const bool standIn = forFiling && recipients.isEmpty();
        if (standIn)
            recipients.appendAddress(vmime::make_shared<vmime::mailbox>(
                    vmime::emailAddress("undisclosed-recipients@drel-mail")));
        builder.setRecipients(recipients);

        builder.setSubject(utf8Text(letter->subject()));

        builder.constructTextPart(vmime::mediaType(vmime::mediaTypes::TEXT,
                                                   vmime::mediaTypes::TEXT_HTML));
        auto textPart = vmime::dynamicCast<vmime::htmlTextPart>(builder.getTextPart());
        // A letter made by the compose form always has a body; one without
        // any gets an empty one rather than no message at all.
        const QStringList bodies = letter->bodyList();
        QString body = bodies.isEmpty() ? QString() : bodies.first();
        body.replace(QChar(0x2029), QStringLiteral("<br>"));
        textPart->setText(vmime::make_shared<vmime::stringContentHandler>(
                body.toStdString(), vmime::contentHandler::NO_ENCODING));
        textPart->setCharset(vmime::charset(vmime::charsets::UTF_8));

        for (const QVariant &entry : letter->attachList()) {
            Attachment *attachment = Attachment::fromVariant(entry);
            if (attachment && attachment->handle())
                builder.appendAttachment(attachment->handle());
        }

        message = builder.construct();
        if (standIn)
            message->getHeader()->removeField(message->getHeader()->findField(vmime::fields::TO));

        const QString id = letter->id();
        if (!id.isEmpty()) {
            auto field = message->getHeader()->getField(vmime::fields::MESSAGE_ID);
            auto value = field->getValue<vmime::messageId>();
            const int at = id.indexOf(QLatin1Char('@'));
            value->setLeft((at < 0 ? id : id.left(at)).toStdString());
            value->setRight(at < 0 ? std::string("drel-mail") : id.mid(at + 1).toStdString());
        }
    } catch (vmime::exception &e) {
        qCritical() << "Connection::toVmimeMessage(): vmime::exception:" << e.what();
    } catch (std::exception &e) {
        qCritical() << "Connection::toVmimeMessage(): std::exception:" << e.what();
    }
    return message;
}
