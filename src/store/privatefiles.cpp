#include "store/privatefiles.h"

#include "base/settings.h"
#include "model/storelayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QtDebug>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void restrict(const QString &path, mode_t mode)
{
    if (::chmod(QFile::encodeName(path).constData(), mode) != 0 && errno != ENOENT)
        qCritical() << "PrivateFiles::protect(): cannot restrict" << path << qt_error_string(errno);
}

// A lock left by a writer that was killed (the settings library locks each
// file it rewrites) would hold up the next writer of that file. Only locks
// whose process is gone are taken over; at start no writer of ours runs.
void removeStaleLocks(const QString &directory)
{
    const QStringList locks = QDir(directory).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden);
    for (const QString &name : locks) {
        QLockFile lock(directory + QLatin1Char('/') + name);
        lock.setStaleLockTime(0);
        if (lock.tryLock(0))
            lock.unlock();
    }
}
}

bool PrivateFiles::makeDirectory(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    if (info.isDir())
        return true;
    const QString parent = info.path();
    if (parent != clean && !makeDirectory(parent))
        return false;
    return ::mkdir(QFile::encodeName(clean).constData(), 0700) == 0 || errno == EEXIST;
}

QString PrivateFiles::storeRoot()
{
    return StoreLayout::root();
}

void PrivateFiles::protect()
{
    const QString root = storeRoot();
    makeDirectory(root);
    restrict(root, 0700);
    const QStringList accounts = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &account : accounts) {
        restrict(root + QLatin1Char('/') + account, 0700);
        removeStaleLocks(root + QLatin1Char('/') + account);
    }

    // The settings library keeps the rights of the file it rewrites, so a
    // file made owner-only here stays so.
    const QString settingsFile = Settings::fileName();
    makeDirectory(QFileInfo(settingsFile).path());
    const int fd = ::open(QFile::encodeName(settingsFile).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0)
        ::close(fd);
    restrict(settingsFile, 0600);
    removeStaleLocks(QFileInfo(settingsFile).path());
}
