#include "store/cache.h"

#include "base/caughtlog.h"
#include "model/backgroundwork.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/storelayout.h"
#include "net/messagebuilder.h"
#include "store/letterparser.h"
#include "store/privatefiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFutureWatcher>
#include <QPointer>
#include <QThreadPool>
#include <QTimeZone>
#include <QtConcurrent>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The parser's recursion is bounded by MessageBounds; this stack is room to
// spare should a message still be read deeper than we reckoned (a default
// thread's 8 MB took about 5,000 levels). Only the pages used are mapped.
class ParserThreads : public QThreadPool
{
public:
    ParserThreads() { setStackSize(256 * 1024 * 1024); }
};
Q_GLOBAL_STATIC(ParserThreads, parserThreads)

bool isValidFolder(int folder)
{
    return folder >= Letter::IncomingFolder && folder <= Letter::TrashFolder;
}

} // namespace

Cache::Cache(QString accountAddress, QString incomingServerText, QObject *parent)
    : QObject(parent)
    , m_accountAddress(std::move(accountAddress))
    , m_incomingServerText(std::move(incomingServerText))
{
    initFolders();
}

Cache::~Cache()
{
    BackgroundWork::releaseForWindow();
    m_scan.waitForFinished();
}

QString Cache::messageFilePath(int folder, const QString &id) const
{
    return folderPath(folder) + QLatin1Char('/') + StoreLayout::messageFileName(id);
}

void Cache::initFolders()
{
    QStringList paths;
    for (int folder = 0; folder < Letter::FolderCount; ++folder) {
        const QString path = folderPath(folder);
        PrivateFiles::makeDirectory(path);
        m_folders[folder] = QDir(path);
        paths.append(m_folders[folder].exists() ? path : QString());
    }
    m_scan = BackgroundWork::run([accountPath = accountPath(), paths] { return scanFolders(accountPath, paths); });
    m_scanning = true;
}

QSet<QString> Cache::scanFolders(const QString &accountPath, const QStringList &folderPaths)
{
    QSet<QString> known;
    for (int folder = 0; folder < folderPaths.size(); ++folder) {
        const QString &path = folderPaths.at(folder);
        if (path.isEmpty())
            continue;
        // What a write that was cut short (a crash, a kill) left behind under
        // its temporary name; no message file name ends like this.
        const QStringList leftovers = MessageFiles::fileNames(
                path, QStringLiteral(".eml") + QLatin1String(MessageFiles::temporarySuffix()));
        for (const QString &name : leftovers)
            QFile::remove(path + QLatin1Char('/') + name);
        if (folder == Letter::IncomingFolder || folder == Letter::ArchiveFolder
                || folder == Letter::TrashFolder) {
            const QStringList names = MessageFiles::fileNames(path, QStringLiteral(".eml"));
            known.reserve(known.size() + names.size());
            for (const QString &name : names)
                known.insert(name);
        }
    }
    QFile removed(accountPath + QStringLiteral("/fully-removed"));
    if (removed.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = removed.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (!line.isEmpty())
                known.insert(QString::fromUtf8(line));
        }
    }
    return known;
}

void Cache::settleScan() const
{
    if (!m_scanning)
        return;
    m_scanning = false;
    BackgroundWork::releaseForWindow();
    QSet<QString> scanned = m_scan.result();
    m_scan = QFuture<QSet<QString>>();
    scanned.unite(m_knownMessageFiles);
    m_knownMessageFiles = std::move(scanned);
}

bool Cache::isKnownMessageFile(const QString &fileName) const
{
    settleScan();
    return m_knownMessageFiles.contains(fileName);
}

bool Cache::holdsMessageFile(const QString &fileName) const
{
    for (const int folder : {Letter::IncomingFolder, Letter::ArchiveFolder, Letter::TrashFolder}) {
        if (m_folders[size_t(folder)].exists(fileName))
            return true;
    }
    return false;
}

void Cache::listReceived(const ListFields &fields, const QString &id)
{
    m_knownMessageFiles.insert(StoreLayout::messageFileName(id));
    Letter *letter = listLetter(fields, id);
    letter->setFolderType(Letter::IncomingFolder);
    emit letterFiled(Letter::IncomingFolder, letter);
}

Letter *Cache::listLetter(const ListFields &fields, const QString &id)
{
    auto *letter = new Letter(this);
    letter->setId(id);
    letter->setFrom(fields.from);
    letter->setSubject(fields.subject);
    letter->setRecipients(fields.recipients);
    // A message without a usable date is listed as of its arrival, so
    // that it sorts among the new mail instead of below everything.
    letter->setDate(fields.date.isValid() ? fields.date : QDateTime::currentDateTimeUtc());
    return letter;
}

bool Cache::writeMessageFile(int folder, const QString &id, const QByteArray &content,
                             const char *operation)
{
    // The scan removes what a cut-short write left; it must not meet this one.
    settleScan();
    QString failure;
    if (MessageFiles::writeDurably(folderPath(folder), {StoreLayout::messageFileName(id), content}, &failure))
        return true;
    qCritical().noquote() << QString::fromLatin1(operation) << QStringLiteral("cannot write")
                          << failure;
    emit writeFailed(tr("Cannot store the message %1").arg(failure));
    return false;
}

QString Cache::newClientId()
{
    // Ids name the letters' files: two letters given one in the same
    // millisecond would share a file, and the later would replace the other.
    static qint64 lastGiven = 0;
    lastGiven = std::max(QDateTime::currentMSecsSinceEpoch(), lastGiven + 1);
    return QString::number(lastGiven);
}

bool Cache::saveLetterToFolder(Letter *letter, int folder)
{
    if (!letter)
        return false;
    QByteArray content;
    try {
        const vmime::shared_ptr<vmime::message> message = MessageBuilder::toVmimeMessage(letter, true);
        if (!message)
            return false;
        content = MessageBuilder::generate(message);
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        return false;
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
        return false;
    }
    return fileMessage(content, letter, folder);
}

bool Cache::fileMessage(const QByteArray &content, Letter *letter, int folder)
{
    if (!letter || content.isEmpty())
        return false;
    const QString id = ListFields::fromMessage(content).id;
    if (!writeMessageFile(folder, id, content, "Cache::fileMessage()"))
        return false;
    announceFiledLetter(content, id, !letter->attachList().isEmpty(), letter->folderType(), folder);
    return true;
}

void Cache::discardMessage(const QString &id, int folder)
{
    if (id.isEmpty() || !QFile::exists(messageFilePath(folder, id)))
        return;
    removeMessageFile(id, folder, false);
    emit letterRemoved(folder, id);
}

void Cache::announceFiledLetter(const QByteArray &content, const QString &id, bool withAttachment,
                                int origin, int folder)
{
    const int shownIn = isValidFolder(folder) ? folder : int(Letter::IncomingFolder);
    Letter *letter = listLetter(ListFields::fromMessage(content), id);
    letter->setLetterType(withAttachment ? Letter::LetterSeenWithAttachment : Letter::LetterSeen);
    letter->setFolderType(folder == Letter::TrashFolder ? origin : shownIn);
    emit letterFiled(shownIn, letter);
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
        if (!writeMessageFile(folder, sourceId, content, "Cache::fileLetter()"))
            return false;
        const bool withAttachment = !letter->attachList().isEmpty()
                || letter->letterType() == Letter::LetterSeenWithAttachment;
        announceFiledLetter(content, sourceId, withAttachment, letter->folderType(), folder);
        return true;
    }
    if (letter->id().isEmpty())
        letter->setId(newClientId());
    return saveLetterToFolder(letter, folder);
}

void Cache::removeMessageFile(const QString &id, int folder, bool forget)
{
    QFile::remove(messageFilePath(folder, id));
    if (forget || folder == Letter::TrashFolder)
        appendFullyRemoved(StoreLayout::messageFileName(id));
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

bool Cache::deleteMessage(const QString &id, int folder, Letter *letter)
{
    if (letter && folder != Letter::TrashFolder) {
        // Without its copy in Trash the letter would be lost: it stays.
        if (!fileLetter(letter, folder, id, Letter::TrashFolder))
            return false;
    }
    removeMessageFile(id, folder, letter == nullptr);
    emit letterRemoved(folder, id);
    return true;
}

bool Cache::archiveMessage(const QString &id, int folder, Letter *letter)
{
    if (letter && folder != Letter::ArchiveFolder) {
        if (!fileLetter(letter, folder, id, Letter::ArchiveFolder))
            return false;
    }
    removeMessageFile(id, folder, false);
    emit letterRemoved(folder, id);
    return true;
}

bool Cache::restoreMessage(const QString &id, Letter *letter)
{
    if (letter) {
        if (!fileLetter(letter, Letter::TrashFolder, id, letter->folderType()))
            return false;
    }
    removeMessageFile(id, Letter::TrashFolder, false);
    emit letterRemoved(Letter::TrashFolder, id);
    return true;
}

bool Cache::returnMessage(const QString &id, int folder, int target, Letter *letter)
{
    if (!letter || !isValidFolder(target) || !fileLetter(letter, folder, id, target))
        return false;
    // Not from Trash's "fully removed" list: the letter lives on.
    QFile::remove(messageFilePath(folder, id));
    emit letterRemoved(folder, id);
    return true;
}

vmime::shared_ptr<vmime::message> Cache::readMessageFile(int folder, const QString &id) const
{
    return parseMessageFile(messageFilePath(folder, id));
}

vmime::shared_ptr<vmime::message> Cache::parseMessageFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return vmime::make_shared<vmime::message>();
    return LetterParser::parse(MessageBounds::readFile(file));
}

void Cache::loadLetter(Letter *letter, int folder, bool markSeen)
{
    if (!letter || letter->parsed())
        return;
    if (folder == Letter::IncomingFolder && !isKnownMessageFile(StoreLayout::messageFileName(letter->id())))
        return;
    // The watcher is this store's child: a store gone before the parse ends
    // hears nothing of it, and a letter gone meanwhile is skipped.
    auto *watcher = new QFutureWatcher<vmime::shared_ptr<vmime::message>>(this);
    QPointer<Letter> target(letter);
    const QString path = messageFilePath(folder, letter->id());
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, target, folder, markSeen, path] {
        watcher->deleteLater();
        if (!target)
            return;
        const vmime::shared_ptr<vmime::message> message = watcher->result();
        showLetter(target, folder, message, markSeen);
        if (message->getHeader()->getFieldCount() == 0)
            emit letterUnreadable(target, path);
    });
    watcher->setFuture(QtConcurrent::run(parserThreads(), &Cache::parseMessageFile, path));
}

void Cache::showLetter(Letter *letter, int folder, const vmime::shared_ptr<vmime::message> &message,
                       bool markSeen)
{
    // Asked for twice before the first parse ended.
    if (letter->parsed())
        return;
    LetterParser::fill(letter, message, this);
    letter->setParsed(true);
    if (folder == Letter::IncomingFolder && markSeen)
        setLetterSeen(letter, true);
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
    emit letter->loaded();
}

void Cache::setLetterSeen(Letter *letter, bool seen)
{
    if (!letter || (letter->letterType() != Letter::LetterUnseen) == seen)
        return;
    if (!seen)
        letter->setLetterType(Letter::LetterUnseen);
    else
        letter->setLetterType(letter->attachList().isEmpty() ? Letter::LetterSeen
                                                             : Letter::LetterSeenWithAttachment);
    emit seenLetter(letter);
}
