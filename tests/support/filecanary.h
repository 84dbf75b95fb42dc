#pragma once

#include <QAtomicInt>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A file that tells whether anything opened it, on any thread and through
// any library: a FIFO, whose reader waits in open() until a writer comes. A
// thread keeps offering itself as the writer, counts every reader it meets
// and lets it go with an empty file.
class FileCanary
{
public:
    explicit FileCanary(const QString &path)
        : m_name(QFile::encodeName(path))
    {
        ::unlink(m_name.constData());
        m_made = ::mkfifo(m_name.constData(), 0600) == 0;
        m_watcher.reset(QThread::create([this] {
            while (!m_stop.loadRelaxed()) {
                const int fd = ::open(m_name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    m_opened.ref();
                    ::close(fd);
                }
                QThread::msleep(2);
            }
        }));
        m_watcher->start();
    }
    ~FileCanary()
    {
        m_stop.storeRelaxed(1);
        m_watcher->wait();
        ::unlink(m_name.constData());
    }

    bool made() const { return m_made; }
    QUrl url() const { return QUrl::fromLocalFile(QFile::decodeName(m_name)); }
    int opened() const { return m_opened.loadRelaxed(); }

private:
    QByteArray m_name;
    bool m_made = false;
    QAtomicInt m_stop;
    QAtomicInt m_opened;
    std::unique_ptr<QThread> m_watcher;
};
