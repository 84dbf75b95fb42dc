#include "cache.h"

#include "letter.h"
#include "letterparser.h"
#include "privatefiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTimeZone>
#include <QtDebug>

#include <cerrno>
#include <unistd.h>

namespace {

const char *const folderNames[] = {"Incoming", "Drafts", "Sent", "Archive", "Trash"};

// Leaves room under the usual 255-byte limit of a file name for ".eml" and
// the suffix of the temporary file that a message is written to first.
const int maxFileBaseNameBytes = 200;

bool isValidFolder(int folder)
{
    return folder >= Letter::IncomingFolder && folder <= Letter::TrashFolder;
}

QString utf8(const vmime::text &text)
{
    return QString::fromStdString(text.getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
}

} // namespace

Cache::Cache(QString accountAddress, QString incomingServerText, QObject *parent)
    : QObject(parent)
    , m_accountAddress(std::move(accountAddress))
    , m_incomingServerText(std::move(incomingServerText))
{
    initFolders();
    loadInterruptedCheck();
}

QString Cache::folderName(int folder)
{
    return QLatin1String(folderNames[isValidFolder(folder) ? folder : 0]);
}

QString Cache::accountPath() const
{
    return QDir::homePath() + QStringLiteral("/.drel-mail/") + m_accountAddress;
}

QString Cache::folderPath(int folder) const
{
    return m_folders[isValidFolder(folder) ? folder : 0].absolutePath();
}

QString Cache::indexPath(int folder) const
{
    return accountPath() + QLatin1Char('/') + folderName(folder).toLower()
            + QStringLiteral(".conf");
}

QString Cache::messageFilePath(int folder, const QString &id) const
{
    return folderPath(folder) + QLatin1Char('/') + messageFileName(id);
}

QString Cache::fileBaseName(const QString &id)
{
    bool safe = !id.isEmpty() && !id.startsWith(QLatin1Char('.'))
            && !id.startsWith(hashedNamePrefix())
            && id.toUtf8().size() <= maxFileBaseNameBytes;
    for (int i = 0; safe && i < id.size(); ++i) {
        const ushort c = id.at(i).unicode();
        // Control characters would also break the line format of
        // "fully-removed"; a backslash is a separator in the index files.
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\')
            safe = false;
    }
    if (safe)
        return id;
    return hashedNamePrefix()
            + QString::fromLatin1(QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Sha256)
                                          .toHex());
}

void Cache::initFolders()
{
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        const QString path = accountPath() + QLatin1Char('/') + QLatin1String(folderNames[folder]);
        PrivateFiles::makeDirectory(path);
        m_folders[folder] = QDir(path);
        if (!m_folders[folder].exists())
            continue;
        // What a write that was cut short (a crash, a kill) left behind under
        // its temporary name, on file systems without unnamed temporary
        // files; no message file name ends like this.
        const QStringList leftovers = m_folders[folder].entryList(
                QStringList{QStringLiteral("*.eml.??????")}, QDir::Files | QDir::Hidden, QDir::NoSort);
        for (const QString &name : leftovers)
            m_folders[folder].remove(name);
        if (folder == Letter::IncomingFolder || folder == Letter::ArchiveFolder
                || folder == Letter::TrashFolder) {
            const QStringList names = m_folders[folder].entryList(
                    QStringList{QStringLiteral("*.eml")}, QDir::Files, QDir::NoSort);
            for (const QString &name : names)
                m_knownMessageFiles.insert(name);
        }
    }
    QFile removed(accountPath() + QStringLiteral("/fully-removed"));
    if (removed.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = removed.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (!line.isEmpty())
                m_knownMessageFiles.insert(QString::fromUtf8(line));
        }
    }
}

bool Cache::isKnownMessageFile(const QString &fileName) const
{
    return m_knownMessageFiles.contains(fileName);
}

void Cache::onNewMessageId(int index, QString id)
{
    m_announcedNumber = index;
    m_announcedId = id;
    // An announcement that this store did not ask for starts a new check.
    // Asking for 0 restarts from the newest message after the whole mailbox
    // has been walked, so nothing older is left to reach.
    if (m_expectedNumber == 0)
        m_resumePassed = true;
    else if (m_expectedNumber != index)
        m_resumePassed = false;
    m_expectedNumber = -1;

    const QString fileName = messageFileName(id);
    if (!isKnownMessageFile(fileName)) {
        m_expectedNumber = index;
        emit getNewMail(index);
        return;
    }
    if (!m_resumeAfter.isEmpty() && !m_resumePassed) {
        if (fileName == m_resumeAfter)
            m_resumePassed = true;
        if (index > 1) {
            m_expectedNumber = index - 1;
            emit getNewMail(index - 1);
            return;
        }
    }
    finishCheck();
    emit lettersRecieved();
}

QString Cache::interruptedCheckPath() const
{
    return accountPath() + QStringLiteral("/interrupted-check");
}

void Cache::loadInterruptedCheck()
{
    QFile file(interruptedCheckPath());
    if (file.open(QIODevice::ReadOnly))
        m_resumeAfter = QString::fromUtf8(file.readAll()).trimmed();
}

void Cache::rememberStoredInCheck(const QString &fileName)
{
    // While an older interruption has not been passed, its mark stays: the
    // messages below it are still unchecked.
    if (!m_resumeAfter.isEmpty() && !m_resumePassed)
        return;
    // Written for every stored message, so kept cheap: no flush to disk. It
    // survives the program being killed; a torn file after a system crash
    // names no message, and the next check then walks the whole mailbox.
    QFile file(interruptedCheckPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(fileName.toUtf8() + '\n') > 0 && file.flush()) {
        m_resumeAfter = fileName;
        m_resumePassed = true;
    } else {
        qCritical() << "Cache::rememberStoredInCheck(): cannot write" << interruptedCheckPath();
    }
}

void Cache::finishCheck()
{
    if (m_resumeAfter.isEmpty())
        return;
    QFile::remove(interruptedCheckPath());
    m_resumeAfter.clear();
    m_resumePassed = false;
}

void Cache::onNewMessage(vmime::shared_ptr<vmime::net::message> msg)
{
    if (!msg)
        return;
    int number = 0;
    QByteArray content;
    vmime::shared_ptr<vmime::message> parsed;
    try {
        number = int(msg->getNumber());
        std::string data;
        vmime::utility::outputStreamStringAdapter out(data);
        msg->extract(out, nullptr, 0, size_t(-1), false);
        out.flush();
        content = QByteArray::fromStdString(data);
        parsed = vmime::make_shared<vmime::message>();
        parsed->parse(data);
    } catch (vmime::exception &e) {
        qCritical() << "Cache::onNewMessage(): vmime::exception:" << e.what();
        emit writeFailed(tr("Cannot read the message from the server: ")
                         + QString::fromStdString(e.what()));
        return;
    } catch (std::exception &e) {
        qCritical() << "Cache::onNewMessage(): std::exception:" << e.what();
        emit writeFailed(tr("Cannot read the message from the server: ")
                         + QString::fromLocal8Bit(e.what()));
        return;
    }

    QString id;
    auto idField = parsed->getHeader()->findField(vmime::fields::MESSAGE_ID);
    if (idField) {
        if (auto value = idField->getValue<vmime::messageId>())
            id = QString::fromStdString(value->getId());
    }
    if (id.isEmpty()) {
        // Stored under the id the server side announced for it, so that the
        // next check recognises it; failing that, under one made from the
        // content, which is the same every time the message is fetched.
        if (number == m_announcedNumber && !m_announcedId.isEmpty())
            id = m_announcedId;
        else
            id = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha1)
                                             .toHex())
                    + QStringLiteral("@drel-mail");
    }

    if (!writeMessageFile(Letter::IncomingFolder, id, content, "Cache::onNewMessage()"))
        return;
    m_knownMessageFiles.insert(messageFileName(id));
    rememberStoredInCheck(messageFileName(id));

    Letter *letter = letterFromHeader(parsed->getHeader());
    letter->setId(id);
    letter->setFolderType(Letter::IncomingFolder);
    emit newIncomingLetter(letter);

    m_expectedNumber = number - 1;
    emit getNewMail(number - 1);
    if (QSettings().value(QStringLiteral("global/deleteFromServer"), false).toBool())
        emit deleteMessageFromServer(number);
}

Letter *Cache::letterFromHeader(const vmime::shared_ptr<const vmime::header> &header)
{
    auto *letter = new Letter(this);
    try {
        if (auto field = header->findField(vmime::fields::MESSAGE_ID)) {
            if (auto value = field->getValue<vmime::messageId>())
                letter->setId(QString::fromStdString(value->getId()));
        }
        if (auto field = header->findField(vmime::fields::FROM)) {
            if (auto mbox = field->getValue<vmime::mailbox>()) {
                const QString name = utf8(mbox->getName());
                const QString address = QString::fromStdString(mbox->getEmail().toString());
                letter->setFrom(name.isEmpty() ? address
                                               : name + QStringLiteral(" <") + address
                                        + QLatin1Char('>'));
            }
        }
        if (auto field = header->findField(vmime::fields::SUBJECT)) {
            if (auto text = field->getValue<vmime::text>())
                letter->setSubject(utf8(*text));
        }
        QDateTime date;
        if (auto field = header->findField(vmime::fields::DATE)) {
            if (auto value = field->getValue<vmime::datetime>()) {
                date = QDateTime(QDate(value->getYear(), value->getMonth(), value->getDay()),
                                 QTime(value->getHour(), value->getMinute(), value->getSecond()),
                                 Qt::OffsetFromUTC, value->getZone() * 60)
                               .toUTC();
            }
        }
        // A message without a usable date is listed as of its arrival, so
        // that it sorts among the new mail instead of below everything.
        letter->setDate(date.isValid() ? date : QDateTime::currentDateTimeUtc());
    } catch (vmime::exception &e) {
        qCritical() << "Cache::letterFromHeader(): vmime::exception:" << e.what();
    } catch (std::exception &e) {
        qCritical() << "Cache::letterFromHeader(): std::exception:" << e.what();
    }
    return letter;
}

bool Cache::writeMessageFile(int folder, const QString &id, const QByteArray &content,
                             const char *operation)
{
    const QString path = messageFilePath(folder, id);
    QSaveFile file(path);
    // Never written in place: the whole file lands under its name only once
    // it is complete and on disk.
    file.setDirectWriteFallback(false);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.write(content) == content.size();
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok) {
        qCritical().noquote() << QString::fromLatin1(operation)
                              << QStringLiteral("cannot write") << path << file.errorString();
        emit writeFailed(tr("Cannot store the message %1: %2").arg(path, file.errorString()));
    }
    return ok;
}

QString Cache::newClientId()
{
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}

bool Cache::saveLetterToFolder(Letter *letter, int folder)
{
    if (!letter)
        return false;
    vmime::shared_ptr<vmime::message> message;
    QByteArray content;
    QString id;
    try {
        message = Connection::toVmimeMessage(letter, true);
        if (!message)
            return false;
        if (auto field = message->getHeader()->findField(vmime::fields::MESSAGE_ID)) {
            if (auto value = field->getValue<vmime::messageId>())
                id = QString::fromStdString(value->getId());
        }
        content = QByteArray::fromStdString(message->generate());
    } catch (vmime::exception &e) {
        qCritical() << "Cache::saveLetterToFolder(): vmime::exception:" << e.what();
        return false;
    } catch (std::exception &e) {
        qCritical() << "Cache::saveLetterToFolder(): std::exception:" << e.what();
        return false;
    }
    if (!writeMessageFile(folder, id, content, "Cache::saveLetterToFolder()"))
        return false;
    return announceFiledLetter(message, letter, folder);
}

bool Cache::announceFiledLetter(const vmime::shared_ptr<vmime::message> &message, Letter *source,
                                int folder)
{
    Letter *letter = letterFromHeader(message->getHeader());
    letter->setLetterType(source->attachList().isEmpty() ? Letter::LetterSeen
                                                         : Letter::LetterSeenWithAttachment);
    if (folder == Letter::TrashFolder)
        letter->setFolderType(source->folderType());
    else
        letter->setFolderType(isValidFolder(folder) ? folder : Letter::IncomingFolder);
    emitNewLetter(folder, letter);
    return true;
}

bool Cache::fileLetter(Letter *letter, int sourceFolder, const QString &sourceId, int folder)
{
    // A received letter that was never opened holds no bodies or
    // attachments, and rebuilding any letter loses its date and the parts
    // beyond the first body: the message file itself is what must move.
    QFile source(messageFilePath(sourceFolder, sourceId));
    if (!sourceId.isEmpty() && source.open(QIODevice::ReadOnly)) {
        const QByteArray content = source.readAll();
        source.close();
        try {
            auto message = vmime::make_shared<vmime::message>();
            message->parse(content.toStdString());
            if (!writeMessageFile(folder, sourceId, content, "Cache::fileLetter()"))
                return false;
            Letter *filed = letterFromHeader(message->getHeader());
            filed->setId(sourceId);
            const bool withAttachment = !letter->attachList().isEmpty()
                    || letter->letterType() == Letter::LetterSeenWithAttachment;
            filed->setLetterType(withAttachment ? Letter::LetterSeenWithAttachment
                                                : Letter::LetterSeen);
            filed->setFolderType(folder == Letter::TrashFolder ? letter->folderType() : folder);
            emitNewLetter(folder, filed);
            return true;
        } catch (vmime::exception &e) {
            qCritical() << "Cache::fileLetter(): vmime::exception:" << e.what();
            return false;
        } catch (std::exception &e) {
            qCritical() << "Cache::fileLetter(): std::exception:" << e.what();
            return false;
        }
    }
    if (letter->id().isEmpty())
        letter->setId(newClientId());
    return saveLetterToFolder(letter, folder);
}

void Cache::removeMessageFile(const QString &id, int folder, bool forget)
{
    QFile::remove(messageFilePath(folder, id));
    if (forget || folder == Letter::TrashFolder)
        appendFullyRemoved(messageFileName(id));
}

void Cache::appendFullyRemoved(const QString &fileName)
{
    QFile file(accountPath() + QStringLiteral("/fully-removed"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCritical() << "Cache::removeMessageFile(): cannot open" << file.fileName()
                    << file.errorString();
        return;
    }
    file.write(fileName.toUtf8() + '\n');
    file.flush();
    ::fsync(file.handle());
}

void Cache::deleteMessage(QString id, int index, int folder, Letter *letter)
{
    if (letter && folder != Letter::TrashFolder) {
        if (letter->id().isEmpty())
            letter->setId(newClientId());
        // Without its copy in Trash the letter would be lost: it stays.
        if (!fileLetter(letter, folder, id, Letter::TrashFolder))
            return;
    }
    removeMessageFile(id, folder, letter == nullptr);
    emitRemoveLetter(folder, index);
}

void Cache::archiveMessage(QString id, int index, int folder, Letter *letter)
{
    if (letter && folder != Letter::ArchiveFolder) {
        if (letter->id().isEmpty())
            letter->setId(newClientId());
        if (!fileLetter(letter, folder, id, Letter::ArchiveFolder))
            return;
    }
    removeMessageFile(id, folder, false);
    emitRemoveLetter(folder, index);
}

void Cache::restoreMessage(QString id, int index, Letter *letter)
{
    if (letter) {
        if (letter->id().isEmpty())
            letter->setId(newClientId());
        if (!fileLetter(letter, Letter::TrashFolder, id, letter->folderType()))
            return;
    }
    removeMessageFile(id, Letter::TrashFolder, false);
    emit removeTrashLetter(index);
}

vmime::shared_ptr<vmime::message> Cache::readMessageFile(int folder, const QString &id) const
{
    auto message = vmime::make_shared<vmime::message>();
    QFile file(messageFilePath(folder, id));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.readAll();
        try {
            message->parse(content.toStdString());
        } catch (vmime::exception &e) {
            qCritical() << "Cache::readMessageFile(): vmime::exception:" << e.what();
            return vmime::make_shared<vmime::message>();
        } catch (std::exception &e) {
            qCritical() << "Cache::readMessageFile(): std::exception:" << e.what();
            return vmime::make_shared<vmime::message>();
        }
    }
    return message;
}

void Cache::loadLetter(Letter *letter, int folder)
{
    if (!letter)
        return;
    if (folder == Letter::IncomingFolder && !isKnownMessageFile(messageFileName(letter->id())))
        return;
    LetterParser::fill(letter, readMessageFile(folder, letter->id()), this);
    letter->setParsed(true);
    if (folder == Letter::IncomingFolder && letter->letterType() == Letter::LetterUnseen) {
        letter->setLetterType(letter->attachList().isEmpty() ? Letter::LetterSeen
                                                             : Letter::LetterSeenWithAttachment);
        emit seenLetter(letter);
    }
    emit letter->fromChanged();
    emit letter->replyToChanged();
    emit letter->subjectChanged();
    emit letter->dateChanged();
    emit letter->bodyHtmlListChanged();
    emit letter->bodyListChanged();
    emit letter->toListChanged();
    emit letter->copyListChanged();
    emit letter->letterTypeChanged();
    emit letter->attachListChanged();
}

void Cache::emitNewLetter(int folder, Letter *letter)
{
    switch (folder) {
    case Letter::DraftsFolder: emit newDraftLetter(letter); break;
    case Letter::SentFolder: emit newSentLetter(letter); break;
    case Letter::ArchiveFolder: emit newArchiveLetter(letter); break;
    case Letter::TrashFolder: emit newTrashLetter(letter); break;
    default: emit newIncomingLetter(letter); break;
    }
}

void Cache::emitRemoveLetter(int folder, int index)
{
    switch (folder) {
    case Letter::DraftsFolder: emit removeDraftLetter(index); break;
    case Letter::SentFolder: emit removeSentLetter(index); break;
    case Letter::ArchiveFolder: emit removeArchiveLetter(index); break;
    case Letter::TrashFolder: emit removeTrashLetter(index); break;
    default: emit removeIncomingLetter(index); break;
    }
}
