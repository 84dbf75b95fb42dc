#include "model/messagefiles.h"

#include "base/caughtlog.h"
#include "base/crashpoint.h"
#include "model/messagebounds.h"
#include "model/plainheader.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <QtDebug>

#include <vmime/vmime.hpp>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString systemError(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

bool writeAll(int fd, const QByteArray &content)
{
    const char *data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Creates and fills one temporary file, named relative to the directory
// descriptor (AT_FDCWD for a whole path); every step is checked, so a full
// disk fails here and not silently later. The caller makes it durable.
bool writeTemporary(int directory, const QByteArray &name, const QByteArray &content, const QString &path,
                    QString *error)
{
    const int fd = ::openat(directory, name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = systemError(path);
        return false;
    }
    bool ok = writeAll(fd, content);
    if (!ok)
        *error = systemError(path);
    if (::close(fd) != 0 && ok) {
        *error = systemError(path);
        ok = false;
    }
    if (ok)
        crashPoint("file-written");
    return ok;
}

// Runs a flush (fsync, syncfs) on the directory itself.
bool flushDirectory(const QString &directory, int (*flush)(int))
{
    const int fd = ::open(nativePath(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = flush(fd) == 0;
    ::close(fd);
    return ok;
}

// One flush of the whole file system costs less than one per file for a
// window of messages; afterwards the files' data is on the disk.
bool syncFileSystem(const QString &directory)
{
    return flushDirectory(directory, ::syncfs);
}

QString utf8(const vmime::text &text)
{
    return QString::fromStdString(text.getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
}

} // namespace

namespace MessageFiles {

DurableBatch::DurableBatch(const QString &directory, const QVector<Pending> &files)
    : m_directory(directory)
{
    // The directory stays open for the batch: every file is made, renamed
    // and, after a failure, removed by its name alone, without walking the
    // whole path three times per message.
    m_dir = ::open(nativePath(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dir < 0) {
        m_error = systemError(directory);
        return;
    }
    const QByteArray suffix = temporarySuffix();
    m_names.reserve(files.size());
    for (const Pending &file : files) {
        m_names.append(QFile::encodeName(file.fileName));
        if (!writeTemporary(m_dir, m_names.last() + suffix, file.content,
                            directory + QLatin1Char('/') + file.fileName + QLatin1String(suffix), &m_error)) {
            discard();
            return;
        }
    }
}

DurableBatch::~DurableBatch()
{
    // A committed batch has let go of its directory: nothing to remove.
    discard();
}

bool DurableBatch::commit()
{
    if (m_dir < 0)
        return false;
    const auto failed = [this](const QString &path) {
        m_error = systemError(path);
        discard();
        return false;
    };
    if (::syncfs(m_dir) != 0)
        return failed(m_directory);
    crashPoint("files-synced");
    const QByteArray suffix = temporarySuffix();
    for (const QByteArray &name : qAsConst(m_names)) {
        if (::renameat(m_dir, (name + suffix).constData(), m_dir, name.constData()) != 0)
            return failed(m_directory + QLatin1Char('/') + QFile::decodeName(name));
        ++m_renamed;
        crashPoint("file-renamed");
    }
    if (::fsync(m_dir) != 0)
        return failed(m_directory);
    ::close(m_dir);
    m_dir = -1;
    crashPoint("directory-synced");
    return true;
}

void DurableBatch::discard()
{
    if (m_dir < 0)
        return;
    // Nothing of a failed batch may stay: a file in place counts as
    // received, and the next check would not fetch it again.
    const QByteArray suffix = temporarySuffix();
    for (int i = 0; i < m_names.size(); ++i)
        ::unlinkat(m_dir, (i < m_renamed ? m_names.at(i) : m_names.at(i) + suffix).constData(), 0);
    ::fsync(m_dir);
    ::close(m_dir);
    m_dir = -1;
}

bool writeDurably(const QString &directory, const QVector<Pending> &files, QString *error)
{
    DurableBatch batch(directory, files);
    if (batch.commit())
        return true;
    *error = batch.error();
    return false;
}

bool writeDurably(const QString &directory, const Pending &file, QString *error)
{
    return writeDurably(directory, QVector<Pending>{file}, error);
}

bool syncDirectory(const QString &directory)
{
    return flushDirectory(directory, ::fsync);
}

bool replaceDurably(const QString &path, const QByteArray &content)
{
    const QString temporary = path + QLatin1String(temporarySuffix());
    QString error;
    if (!writeTemporary(AT_FDCWD, nativePath(temporary), content, temporary, &error)
            || !syncFileSystem(QFileInfo(path).absolutePath())
            || ::rename(nativePath(temporary).constData(), nativePath(path).constData()) != 0) {
        qCritical() << "MessageFiles::replaceDurably(): cannot write" << path << error;
        QFile::remove(temporary);
        return false;
    }
    crashPoint("mark-renamed");
    return syncDirectory(QFileInfo(path).absolutePath());
}

bool removeDurably(const QString &path)
{
    if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        return false;
    return syncDirectory(QFileInfo(path).absolutePath());
}

QStringList fileNames(const QString &directory, const QString &suffix)
{
    const NameBlock block = encodedFileNames(directory, suffix);
    QStringList names;
    names.reserve(block.size());
    for (int i = 0; i < block.size(); ++i)
        names.append(QFile::decodeName(block.name(i)));
    return names;
}

NameBlock encodedFileNames(const QString &directory, const QString &suffix)
{
    NameBlock block;
    DIR *dir = opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return block;
    const QByteArray encodedSuffix = QFile::encodeName(suffix);
    const QByteArray path = QFile::encodeName(directory) + '/';
    while (const dirent *entry = readdir(dir)) {
        const size_t length = std::strlen(entry->d_name);
        if (length < size_t(encodedSuffix.size())
            || std::memcmp(entry->d_name + length - size_t(encodedSuffix.size()), encodedSuffix.constData(),
                           size_t(encodedSuffix.size())) != 0)
            continue;
        bool regular = entry->d_type == DT_REG;
        // Some file systems leave the type to a status call.
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status;
            regular = stat((path + entry->d_name).constData(), &status) == 0 && S_ISREG(status.st_mode);
        }
        if (regular) {
            block.starts.append(block.bytes.size());
            block.bytes.append(entry->d_name, int(length) + 1);
        }
    }
    closedir(dir);
    return block;
}

QByteArray headerFields(const QByteArray &header, std::initializer_list<const char *> names)
{
    QByteArray kept;
    bool keeping = false;
    const char *at = header.constData();
    const char *const end = at + header.size();
    while (at < end) {
        const char *lf = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        const char *next = lf ? lf + 1 : end;
        if (*at == '\n' || (*at == '\r' && next - at <= 2))
            break;   // the blank line that ends the header
        if (*at != ' ' && *at != '\t') {
            const char *colon = static_cast<const char *>(std::memchr(at, ':', size_t(next - at)));
            const char *nameEnd = colon;
            while (nameEnd && nameEnd > at && (nameEnd[-1] == ' ' || nameEnd[-1] == '\t'))
                --nameEnd;
            keeping = false;
            for (const char *name : names) {
                const size_t length = std::strlen(name);
                keeping = keeping || (nameEnd && size_t(nameEnd - at) == length && qstrnicmp(at, name, uint(length)) == 0);
            }
        }
        if (keeping)
            kept.append(at, int(next - at));
        at = next;
    }
    return kept;
}

QByteArray withCrlf(const QByteArray &content)
{
    // Servers nearly always send CR LF already: then the bytes are shared,
    // not copied.
    const char *begin = content.constData();
    const char *stop = begin + content.size();
    const char *at = begin;
    bool bare = false;
    while (!bare && at < stop) {
        const char *lf = static_cast<const char *>(std::memchr(at, '\n', size_t(stop - at)));
        if (!lf)
            break;
        bare = lf == begin || lf[-1] != '\r';
        at = lf + 1;
    }
    if (!bare && (content.isEmpty() || content.endsWith('\n')))
        return content;
    QByteArray result;
    result.reserve(content.size() + content.size() / 40 + 2);
    const char *p = content.constData();
    const char *end = p + content.size();
    while (p < end) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = lf ? lf : end;
        const char *textEnd = (lineEnd > p && lineEnd[-1] == '\r') ? lineEnd - 1 : lineEnd;
        result.append(p, int(textEnd - p));
        if (lf)
            result.append("\r\n", 2);
        p = lf ? lf + 1 : end;
    }
    return result;
}

} // namespace MessageFiles

ListFields ListFields::fromMessage(const QByteArray &content)
{
    // Only the fields shown, of the header block alone: the parser builds an
    // object for every field, and real mail carries dozens (Received, DKIM
    // signatures) that the list never shows. The body is parsed when the
    // letter is opened.
    const QByteArray head = MessageFiles::headerFields(MessageBounds::headerBlock(content),
                                                       {"message-id", "from", "to", "cc", "subject", "date"});
    ListFields fields;
    if (PlainHeader::read(head, &fields))
        return fields;
    return fromHeaderFields(head);
}

QString ListFields::mailboxText(const QString &name, const QString &address)
{
    return name.isEmpty() ? address : name + QStringLiteral(" <") + address + QLatin1Char('>');
}

QDateTime ListFields::utcDate(int year, int month, int day, int hour, int minute, int second,
                              int zoneMinutes)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::OffsetFromUTC,
                     zoneMinutes * 60)
            .toUTC();
}

ListFields ListFields::fromHeaderFields(const QByteArray &head)
{
    ListFields fields;
    try {
        vmime::header header;
        header.parse(head.toStdString());
        if (auto field = header.findField(vmime::fields::MESSAGE_ID)) {
            if (auto value = field->getValue<vmime::messageId>())
                fields.id = QString::fromStdString(value->getId());
        }
        if (auto field = header.findField(vmime::fields::FROM)) {
            if (auto mbox = field->getValue<vmime::mailbox>()) {
                fields.from = mailboxText(utf8(mbox->getName()),
                                          QString::fromStdString(mbox->getEmail().toString()));
            }
        }
        QStringList recipients;
        for (const char *name : {vmime::fields::TO, vmime::fields::CC}) {
            auto field = header.findField(name);
            auto list = field ? field->getValue<vmime::addressList>() : nullptr;
            if (!list)
                continue;
            for (const auto &mbox : list->toMailboxList()->getMailboxList()) {
                recipients << mailboxText(utf8(mbox->getName()),
                                          QString::fromStdString(mbox->getEmail().toString()));
            }
        }
        fields.recipients = recipients.join(QStringLiteral(", "));
        if (auto field = header.findField(vmime::fields::SUBJECT)) {
            if (auto text = field->getValue<vmime::text>())
                fields.subject = utf8(*text);
        }
        if (auto field = header.findField(vmime::fields::DATE)) {
            if (auto value = field->getValue<vmime::datetime>()) {
                fields.date = utcDate(value->getYear(), value->getMonth(), value->getDay(),
                                      value->getHour(), value->getMinute(), value->getSecond(),
                                      value->getZone());
            }
        }
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return fields;
}
