#include "mailaccount.h"

#include "mailservers.h"
#include "model/letter.h"
#include "model/messagefiles.h"
#include "model/storelayout.h"
#include "servers/incomingserver.h"
#include "store/mailcheck.h"

#include <QtTest>

MailAccount::MailAccount(Server *incomingServer, const QString &address)
    : RecordedConnection(incomingServer)
    , cache(std::make_unique<Cache>(address, QString()))
    , incoming(std::make_unique<Model>(cache->indexPath(Letter::IncomingFolder), Letter::IncomingFolder))
{
    Cache *store = cache.get();
    QObject::connect(store, &Cache::writeFailed, connection.get(), &Connection::onStoreWriteFailed);
    QObject::connect(store, &Cache::letterFiled, store, [this](int folder, Letter *l) {
        if (folder != Letter::IncomingFolder)
            return;
        incoming->onNewLetter(l);
        stored.append(l->id());
    });
}

MailAccount::~MailAccount()
{
    // The worker goes first: nothing of it may reach a deleted store.
    connection.reset();
}

bool MailAccount::check(int timeoutMs)
{
    MailCheck check(cache.get());
    check.attach(connection.get());
    QObject::connect(&check, &MailCheck::lettersRecieved, [this] { ++finished; });
    check.start();
    // The event loop runs as in the program: a wait that sleeps between its
    // turns would slow every step that the check takes a turn at a time.
    QTimer wake;
    wake.start(50);
    QElapsedTimer clock;
    clock.start();
    while (!check.hasEnded() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!check.hasEnded())
        return false;
    // Until the worker has ended the session the server may still be
    // changing the mailbox, and a test that seeds or clears it would race.
    QMetaObject::invokeMethod(connection.get(), [] {}, Qt::BlockingQueuedConnection);
    return true;
}

QStringList MailAccount::incomingFiles() const
{
    return QDir(cache->folderPath(Letter::IncomingFolder))
            .entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
}

QString MailAccount::differenceFrom(const MailServers &servers) const
{
    QSet<QString> expected;
    QHash<QString, QString> subjects;
    for (const QByteArray &message : servers.messages()) {
        const QByteArray wire = MessageFiles::withCrlf(message);
        const ListFields fields = ListFields::fromMessage(wire);
        QString id = fields.id;
        if (id.isEmpty())
            id = IncomingServer::derivedMessageId(wire);
        const QString name = StoreLayout::messageFileName(id);
        expected.insert(name);
        subjects.insert(name, fields.subject);
        QFile file(cache->folderPath(Letter::IncomingFolder) + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("missing: ") + name;
        if (file.readAll() != wire)
            return QStringLiteral("differs from the server: ") + name;
    }
    const QStringList files = incomingFiles();
    if (QSet<QString>(files.cbegin(), files.cend()) != expected)
        return QStringLiteral("%1 files for %2 messages").arg(files.size()).arg(expected.size());
    // The folder as the next start shows it.
    Model reloaded(cache->indexPath(Letter::IncomingFolder), Letter::IncomingFolder);
    QSet<QString> rows;
    for (int row = 0; row < reloaded.rowCount(); ++row)
        rows.insert(StoreLayout::messageFileName(reloaded.letterAt(row)->id()));
    // Each row listed during the check shows its own letter, not another of
    // the same window.
    for (int row = 0; row < incoming->rowCount(); ++row) {
        const Letter *letter = incoming->letterAt(row);
        const QString name = StoreLayout::messageFileName(letter->id());
        if (letter->subject() != subjects.value(name))
            return QStringLiteral("the row of %1 shows the subject \"%2\"").arg(name, letter->subject());
    }
    if (reloaded.rowCount() != expected.size() || rows != expected)
        return QStringLiteral("%1 rows for %2 files").arg(reloaded.rowCount()).arg(expected.size());
    return QString();
}
