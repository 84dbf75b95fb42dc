#include "model/attachment.h"

#include "base/caughtlog.h"
#include "base/filedialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QUrl>
#include <QtDebug>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names longer than this are cut (their extension kept): file systems take
// 255 bytes (60 characters are at most 180), and a name is only there to be
// recognised.
const int maxNameLength = 60;
// How long an opened attachment's file is kept: long enough for any viewer
// to have read it, short enough that the folder does not fill up over months.
const int openedFileLifeSeconds = 24 * 60 * 60;

// Types a desktop would run rather than show: such an attachment is only
// ever saved where the user says.
bool isRunnable(const QMimeType &type)
{
    static const char *const runnable[] = {
        "application/x-executable", "application/x-sharedlib", "application/x-desktop",
        "application/x-shellscript", "application/x-ms-dos-executable", "application/x-msdownload",
        "application/x-msi", "application/vnd.microsoft.portable-executable",
        "application/x-java-archive", "application/x-java-jnlp-file", "application/x-perl",
        "text/x-python", "application/x-ruby", "application/javascript", "application/x-appimage",
        "application/vnd.flatpak.ref", "application/x-ms-shortcut",
    };
    for (const char *name : runnable) {
        if (type.inherits(QLatin1String(name)))
            return true;
    }
    return false;
}

// Counts what would be written, for the decoded size of encoded data.
class CountingOutputStream : public vmime::utility::outputStream
{
public:
    quint64 count = 0;
    void flush() override {}

protected:
    void writeImpl(const vmime::byte_t *const, const size_t n) override { count += n; }
};

// Counts the Base64 alphabet's characters in encoded data: each stands for
// six bits, while line breaks, padding and stray characters stand for none.
class Base64CountingStream : public vmime::utility::outputStream
{
public:
    quint64 count = 0;
    void flush() override {}

protected:
    void writeImpl(const vmime::byte_t *const data, const size_t n) override
    {
        for (size_t i = 0; i < n; ++i) {
            const vmime::byte_t c = data[i];
            count += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                    || c == '+' || c == '/';
        }
    }
};

// Writes to a file descriptor that the caller has opened safely.
class FdOutputStream : public vmime::utility::outputStream
{
public:
    explicit FdOutputStream(int fd) : m_fd(fd) {}
    void flush() override
    {
        if (::fsync(m_fd) != 0 && errno != EINVAL)
            throw vmime::exceptions::system_error(qPrintable(qt_error_string(errno)));
    }

protected:
    void writeImpl(const vmime::byte_t *const data, const size_t n) override
    {
        size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_fd, data + done, n - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                throw vmime::exceptions::system_error(qPrintable(qt_error_string(errno)));
            done += size_t(w);
        }
    }

private:
    int m_fd;
};

// Writes to a QIODevice.
class DeviceOutputStream : public vmime::utility::outputStream
{
public:
    explicit DeviceOutputStream(QIODevice *device) : m_device(device) {}
    void flush() override {}

protected:
    void writeImpl(const vmime::byte_t *const data, const size_t n) override
    {
        if (m_device->write(reinterpret_cast<const char *>(data), qint64(n)) != qint64(n))
            throw vmime::exceptions::system_error(m_device->errorString().toStdString());
    }

private:
    QIODevice *m_device;
};

// The private directory of this user under the temporary location: made
// with mode 0700, and only used when it is a real directory owned by us that
// nobody else can enter. Another local user cannot plant a link in it.
QString privateTemporaryDirectory()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/drel-mail-")
            + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(dir);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return QString();
    if ((st.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return QString();
    return dir;
}

// Removes the files of earlier openings that are older than a day. Only our
// own regular files: the folder is private, but what is not ours is left.
void removeOldOpenedFiles(const QString &dir)
{
    const time_t oldest = ::time(nullptr) - openedFileLifeSeconds;
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + name);
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid()
                && st.st_mtime < oldest)
            ::unlink(path.constData());
    }
}

} // namespace

QString Attachment::nameOf(const vmime::attachment &handle)
{
    QString name = QString::fromStdString(
            handle.getName().getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
    if (name.isEmpty()) {
        if (auto file = dynamic_cast<const vmime::fileAttachment *>(&handle)) {
            const vmime::fileAttachment::fileInfo &info = file->getFileInfo();
            if (info.hasFilename())
                name = QString::fromStdString(info.getFilename().getConvertedText(
                        vmime::charset(vmime::charsets::UTF_8)));
        }
    }
    return name;
}

Attachment::Attachment(vmime::shared_ptr<vmime::attachment> handle, QObject *parent)
    : QObject(parent)
    , m_handle(std::move(handle))
{
    try {
        m_name = nameOf(*m_handle);
        m_type = QString::fromStdString(m_handle->getType().generate());
        m_size = sizeText(decodedSize(m_handle->getData()));
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    }
}

void Attachment::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void Attachment::setType(const QString &type)
{
    if (m_type == type)
        return;
    m_type = type;
    emit typeChanged();
}

void Attachment::setSize(const QString &size)
{
    if (m_size == size)
        return;
    m_size = size;
    emit sizeChanged();
}

QString Attachment::sizeText(quint64 bytes)
{
    // QString::number always writes a point, whatever the locale.
    if (bytes < 1024)
        return QString::number(bytes) + QLatin1Char(' ') + tr("B");
    if (bytes > 0xFFFFF)
        return QString::number(double(bytes) / 1024.0 / 1024.0, 'f', 2) + QLatin1Char(' ') + tr("Mb");
    return QString::number(double(bytes) / 1024.0, 'f', 2) + QLatin1Char(' ') + tr("Kb");
}

quint64 Attachment::decodedSize(const vmime::shared_ptr<const vmime::contentHandler> &data)
{
    if (!data)
        return 0;
    if (!data->isEncoded())
        return data->getLength();
    // Base64 is most of what is attached and the slowest to decode: its size
    // follows from the encoded characters alone. The encoders' own estimate
    // counts line breaks and padding, so the rest is decoded into a counter.
    if (data->getEncoding().getName() == vmime::encodingTypes::BASE64) {
        Base64CountingStream characters;
        data->extractRaw(characters);
        return characters.count * 3 / 4;
    }
    CountingOutputStream counter;
    data->extract(counter);
    return counter.count;
}

Attachment *Attachment::fromVariant(const QVariant &entry)
{
    return qobject_cast<Attachment *>(entry.value<QObject *>());
}

QString Attachment::temporaryDirectory()
{
    return privateTemporaryDirectory();
}

QMimeType Attachment::openedType() const
{
    const QMimeDatabase types;
    const QMimeType declared = types.mimeTypeForName(m_type.section(QLatin1Char(';'), 0, 0).trimmed());
    if (declared.isValid() && !declared.isDefault())
        return declared;
    return types.mimeTypeForFile(m_name, QMimeDatabase::MatchExtension);
}

QString Attachment::openedFileName() const
{
    QString name = safeFileName(m_name);
    // A hidden file would not show where the viewer looks.
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    const QMimeType type = openedType();
    QString suffix;
    for (const QString &known : type.suffixes()) {
        if (name.endsWith(QLatin1Char('.') + known, Qt::CaseInsensitive) && known.size() > suffix.size())
            suffix = known;
    }
    QString stem = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    if (!suffix.isEmpty())
        suffix = name.right(suffix.size());
    else
        suffix = type.preferredSuffix().isEmpty() ? QStringLiteral("bin") : type.preferredSuffix();
    stem.truncate(maxNameLength);
    if (stem.isEmpty())
        stem = tr("attachment");
    return stem + QLatin1Char('.') + suffix;
}

bool Attachment::open()
{
    if (isRunnable(openedType()))
        return save();
    const QString dir = temporaryDirectory();
    if (dir.isEmpty()) {
        qCritical() << "Attachment::open(): cannot make a private temporary directory under"
                    << QDir::tempPath();
        return false;
    }
    removeOldOpenedFiles(dir);
    // A file of its own for every opening: a viewer may still show an
    // earlier one, and a forged attachment of the same name and size must
    // never be shown for the genuine one. O_EXCL and O_NOFOLLOW keep us from
    // writing through a link or into a file that someone else made.
    const QString name = openedFileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    QString path;
    int fd = -1;
    for (int n = 1; fd < 0 && n <= 1000; ++n) {
        path = dir + QLatin1Char('/')
                + (n == 1 ? name : name.left(dot) + QStringLiteral(" (%1)").arg(n) + name.mid(dot));
        fd = ::open(QFile::encodeName(path).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        qCritical() << "Attachment::open(): cannot open" << path << qt_error_string(errno);
        return false;
    }
    try {
        FdOutputStream out(fd);
        m_handle->getData()->extract(out);
        out.flush();
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        ::close(fd);
        return false;
    }
    ::close(fd);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString Attachment::safeFileName(const QString &name)
{
    QString clean;
    for (const QChar c : name) {
        const QChar::Category category = c.category();
        if (category != QChar::Other_Control && category != QChar::Other_Format)
            clean.append(c);
    }
    // Senders on other systems separate folders with a backslash.
    clean = clean.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).trimmed();
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String(".."))
        return tr("attachment");
    return clean;
}

bool Attachment::save()
{
    const QString proposed = QDir::homePath() + QDir::separator() + safeFileName(m_name);
    const QString path = FileDialog::getSaveFileName(tr("Choose path to save attachment"), proposed);
    if (path.isEmpty())
        return true;
    // Written aside and renamed into place, so a failed write never leaves a
    // half attachment where the user expects the whole one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCritical() << "Attachment::save(): cannot open" << path << file.errorString();
        return false;
    }
    try {
        DeviceOutputStream out(&file);
        m_handle->getData()->extract(out);
    } catch (vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCritical() << "Attachment::save(): cannot write" << path << file.errorString();
        return false;
    }
    return true;
}
