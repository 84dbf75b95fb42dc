#include "main/singleapplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QtDebug>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// One line of UTF-8 text, answered by one acknowledging byte.
const char ack = '\x06';

// A directory that only this user can enter: in a shared one another user
// could plant the lock (the program would never start) or the socket (and
// receive the links handed over).
bool isPrivateDirectory(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
            && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

QString userDirectory()
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && isPrivateDirectory(runtime))
        return runtime;
    // Without it, a directory of our own in the user's cache.
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
            + QStringLiteral("/drel-mail-run");
    QDir().mkpath(QFileInfo(own).path());
    const QByteArray name = QFile::encodeName(own);
    if (::mkdir(name.constData(), 0700) != 0 && errno == EEXIST) {
        struct stat info;
        // One of ours that an older version or a umask left open.
        if (::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid())
            ::chmod(name.constData(), 0700);
    }
    if (isPrivateDirectory(own))
        return own;
    qCritical() << "SingleApplication: no private directory for the lock and socket:" << own;
    return QString();
}
}

SingleApplication::SingleApplication(int &argc, char **argv, const QString &id)
    : QApplication(argc, argv)
    , m_id(id + QLatin1Char('-') + QString::number(::getuid()))
{
}

SingleApplication::~SingleApplication()
{
    if (m_server)
        m_server->close();
}

QString SingleApplication::socketPath() const
{
    return userDirectory() + QLatin1Char('/') + m_id + QStringLiteral(".socket");
}

QString SingleApplication::lockPath() const
{
    return userDirectory() + QLatin1Char('/') + m_id + QStringLiteral(".lock");
}

bool SingleApplication::isRunning()
{
    if (m_checked)
        return m_running;
    m_checked = true;
    // Without a private directory the program runs alone rather than not at all.
    if (userDirectory().isEmpty())
        return false;

    m_lock = std::make_unique<QLockFile>(lockPath());
    // Never stale by age: a running instance may live for months. A lock
    // whose process is gone is still recognised and removed by QLockFile.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_running = true;
            return true;
        }
        qCritical() << "SingleApplication::isRunning(): cannot create" << lockPath();
        // Without a lock the program still runs rather than refusing to start.
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket file left behind is a dead one.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath()))
        qCritical() << "SingleApplication::isRunning(): cannot listen on" << socketPath()
                    << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleApplication::onNewConnection);
    m_running = false;
    return false;
}

bool SingleApplication::sendMessage(const QString &message, int timeout)
{
    QElapsedTimer timer;
    timer.start();
    auto remaining = [&] { return qMax(0, timeout - int(timer.elapsed())); };

    QLocalSocket socket;
    // The first instance may be starting and not listen yet: try again until
    // the time is up.
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(remaining()))
            break;
        if (remaining() == 0)
            return false;
        QThread::msleep(50);
        if (remaining() == 0)
            return false;
    }
    QByteArray line = message.toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    socket.write(line);
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining()))
            return false;
    }
    const bool taken = socket.read(1).at(0) == ack;
    socket.disconnectFromServer();
    return taken;
}

void SingleApplication::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // A peer that never ends its line gets cut off eventually.
                if (socket->bytesAvailable() > 64 * 1024)
                    socket->abort();
                return;
            }
            const QString message = QString::fromUtf8(socket->readLine()).chopped(1);
            socket->write(&ack, 1);
            socket->flush();
            emit messageReceived(message);
        });
    }
}
