#include "base/keyring.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QtDebug>

#include <qt5keychain/keychain.h>

namespace {
// The Secret Service, where the lock state of the keyring is asked.
const QString secretsService = QStringLiteral("org.freedesktop.secrets");
const QString secretsPath = QStringLiteral("/org/freedesktop/secrets");

Keyring::State stateAfter(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
    case QKeychain::EntryNotFound:
    case QKeychain::CouldNotDeleteEntry:
        return Keyring::Open;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return Keyring::Locked;
    default:
        return Keyring::Missing;
    }
}

void logFailure(const char *operation, const QKeychain::Job *job)
{
    qWarning().noquote() << QStringLiteral("Keyring::%1(): %2 %3: %4")
                                    .arg(QLatin1String(operation), job->service(), job->key(),
                                         job->errorString());
}
}

QString Keyring::Entry::label() const
{
    const QString host = hostOf(server);
    if (host.isEmpty())
        return QStringLiteral("Mail: %1").arg(account);
    return QStringLiteral("Mail: %1 on %2").arg(account, host);
}

QString Keyring::Entry::key() const
{
    return incoming ? QStringLiteral("incoming") : QStringLiteral("outgoing");
}

bool Keyring::Entry::operator==(const Entry &other) const
{
    return label() == other.label() && key() == other.key();
}

Keyring::Keyring(QObject *parent)
    : QObject(parent)
{
}

QString Keyring::hostOf(const QString &serverAddress)
{
    QString host = serverAddress.mid(serverAddress.lastIndexOf(QLatin1Char('@')) + 1);
    if (host.startsWith(QLatin1Char('[')))
        return host.left(host.indexOf(QLatin1Char(']')) + 1);
    const int colon = host.indexOf(QLatin1Char(':'));
    return colon >= 0 ? host.left(colon) : host;
}

void Keyring::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Keyring::enqueue(Step step)
{
    m_steps.append(std::move(step));
    if (!m_running)
        runNext();
}

void Keyring::runNext()
{
    m_running = !m_steps.isEmpty();
    if (m_running)
        m_steps.takeFirst()([this] { runNext(); });
}

void Keyring::read(const Entry &entry, QObject *context, ReadDone done)
{
    const QPointer<QObject> guard(context);
    enqueue([this, entry, guard, done = std::move(done)](std::function<void()> over) {
        startRead(entry, [guard, done, over](const QString &password) {
            if (guard)
                done(password);
            over();
        });
    });
}

void Keyring::write(const Entry &entry, const QString &password, QObject *context, WriteDone done)
{
    const QPointer<QObject> guard(context);
    enqueue([this, entry, password, guard, done = std::move(done)](std::function<void()> over) {
        startWrite(entry, password, [guard, done, over](bool written) {
            if (guard && done)
                done(written);
            over();
        });
    });
}

void Keyring::remove(const Entry &entry)
{
    enqueue([this, entry](std::function<void()> over) { startRemove(entry, over); });
}

void Keyring::move(const Entry &from, const Entry &to)
{
    if (from == to)
        return;
    enqueue([this, from, to](std::function<void()> over) {
        startRead(from, [this, from, to, over](const QString &password) {
            if (password.isEmpty()) {
                over();
                return;
            }
            startWrite(to, password, [this, from, over](bool written) {
                if (written)
                    startRemove(from, over);
                else
                    over();
            });
        });
    });
}

// A job is nobody's child: the keyring library calls back into it, so it
// must outlive its call even when this object goes first (at quit).
void Keyring::startRead(const Entry &entry, ReadDone done)
{
    auto *job = new QKeychain::ReadPasswordJob(entry.label()); // deletes itself once finished
    job->setKey(entry.key());
    connect(job, &QKeychain::Job::finished, this, [this, done = std::move(done)](QKeychain::Job *finished) {
        if (finished->error() == QKeychain::NoError) {
            setState(Open);
            done(static_cast<QKeychain::ReadPasswordJob *>(finished)->textData());
        } else if (finished->error() == QKeychain::EntryNotFound) {
            checkLocked([done] { done(QString()); });
        } else {
            logFailure("read", finished);
            setState(stateAfter(finished->error()));
            done(QString());
        }
    });
    job->start();
}

void Keyring::startWrite(const Entry &entry, const QString &password, WriteDone done)
{
    auto *job = new QKeychain::WritePasswordJob(entry.label()); // deletes itself once finished
    job->setKey(entry.key());
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, done = std::move(done)](QKeychain::Job *finished) {
        if (finished->error() != QKeychain::NoError)
            logFailure("write", finished);
        setState(stateAfter(finished->error()));
        done(finished->error() == QKeychain::NoError);
    });
    job->start();
}

void Keyring::startRemove(const Entry &entry, std::function<void()> done)
{
    auto *job = new QKeychain::DeletePasswordJob(entry.label()); // deletes itself once finished
    job->setKey(entry.key());
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job *finished) {
        if (finished->error() != QKeychain::NoError && finished->error() != QKeychain::EntryNotFound)
            logFailure("remove", finished);
        done();
    });
    job->start();
}

void Keyring::checkLocked(std::function<void()> then)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage alias = QDBusMessage::createMethodCall(
            secretsService, secretsPath, QStringLiteral("org.freedesktop.Secret.Service"),
            QStringLiteral("ReadAlias"));
    alias << QStringLiteral("default");
    auto *aliasWatcher = new QDBusPendingCallWatcher(bus.asyncCall(alias), this);
    connect(aliasWatcher, &QDBusPendingCallWatcher::finished, this,
            [this, bus, then](QDBusPendingCallWatcher *watcher) mutable {
                watcher->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> path = *watcher;
                // No Secret Service on the bus (KWallet answers through its
                // own interface): its "not found" is taken as it is.
                if (path.isError() || path.value().path() == QLatin1String("/")) {
                    setState(Open);
                    then();
                    return;
                }
                QDBusMessage get = QDBusMessage::createMethodCall(
                        secretsService, path.value().path(),
                        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
                get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
                auto *lockWatcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
                connect(lockWatcher, &QDBusPendingCallWatcher::finished, this,
                        [this, then](QDBusPendingCallWatcher *watcher) {
                            watcher->deleteLater();
                            const QDBusPendingReply<QDBusVariant> locked = *watcher;
                            setState(!locked.isError() && locked.value().variant().toBool() ? Locked
                                                                                           : Open);
                            then();
                        });
            });
}
