#include "store/mailcheck.h"

#include "base/crashpoint.h"
#include "base/settings.h"
#include "model/letter.h"
#include "model/storelayout.h"
#include "store/cache.h"

#include <QFile>

namespace {
// Messages per fetch window, and windows asked for ahead: while the worker
// writes one it fetches the next, and the request after that is already
// waiting for it.
const int windowSize = 50;
const int windowsAhead = 4;
// Letters listed per turn of the event loop: a whole window at once would
// hold up the user's window for as long.
const int lettersPerTurn = 10;
}

MailCheck::MailCheck(Cache *cache, QObject *parent)
    : QObject(parent)
    , m_cache(cache)
{
}

QString MailCheck::markPath() const
{
    return m_cache->accountPath() + QStringLiteral("/interrupted-check");
}

void MailCheck::start()
{
    QFile mark(markPath());
    m_hasMark = mark.open(QIODevice::ReadOnly);
    m_markStop = m_hasMark ? QString::fromUtf8(mark.readAll()).trimmed() : QString();
    // Read once: the worker opens the inbox for writing only when it is set.
    m_deleteOnServer = Settings::deleteFromServer();
    emit getNewMail(0);
}

void MailCheck::onNewMessageIds(QList<int> numbers, QStringList ids, bool restart)
{
    Q_UNUSED(restart)   // a check is one walk; the next check is a new object
    if (m_walkDone || m_ended || !m_cache)
        return;
    walkWindow(numbers, ids);
    if (!m_walkDone) {
        const int lowest = numbers.isEmpty() ? 1 : numbers.last();
        if (lowest > 1) {
            emit getNewMail(lowest - 1);
            return;
        }
        m_walkDone = true;   // reached the oldest message
    }
    if (m_toFetch.isEmpty()) {
        finish();
        return;
    }
    if (!m_hasMark) {
        // Before the first file of the check (the worker takes the jobs in
        // order, and fetches nothing once this fails): from here until the
        // check ends, held messages no longer prove that older ones are held.
        emit setCheckMark(markPath(), m_stopAt.toUtf8() + '\n', true);
        m_hasMark = true;
        m_markStop = m_stopAt;
    }
    fetchNextWindow();
}

void MailCheck::walkWindow(const QList<int> &numbers, const QStringList &ids)
{
    for (int i = 0; i < numbers.size() && i < ids.size(); ++i) {
        if (ids.at(i).isEmpty())
            continue;
        const QString fileName = StoreLayout::messageFileName(ids.at(i));
        if (!m_cache->isKnownMessageFile(fileName)) {
            // Two server messages with one id share one file.
            if (!m_inWalk.contains(fileName)) {
                m_inWalk.insert(fileName);
                m_toFetch.append({numbers.at(i), ids.at(i)});
            }
            continue;
        }
        // Held. Without a mark everything below is held as well; with one,
        // only below the message it names.
        if (!m_hasMark || (!m_markStop.isEmpty() && fileName == m_markStop)) {
            m_stopAt = fileName;
            m_walkDone = true;
            return;
        }
        // Walked past: stored by a check that never ended its session
        // (killed, cut off), so the server still has it. Deleting, it goes
        // now, but only when its file is in place: a letter removed for good
        // is known, not held.
        if (m_deleteOnServer && m_cache->holdsMessageFile(fileName))
            emit deleteMessageFromServer(numbers.at(i));
    }
}

void MailCheck::fetchNextWindow()
{
    while (!m_failed && m_windowsInFlight < windowsAhead && m_fetched < m_toFetch.size()) {
        const int end = qMin(m_fetched + windowSize, m_toFetch.size());
        QList<int> numbers;
        QStringList fileNames;
        for (int i = m_fetched; i < end; ++i) {
            numbers.append(m_toFetch.at(i).first);
            fileNames.append(StoreLayout::messageFileName(m_toFetch.at(i).second));
            m_asked.insert(m_toFetch.at(i).first, m_toFetch.at(i).second);
        }
        m_fetched = end;
        ++m_windowsInFlight;
        emit fetchMessages(numbers, fileNames, m_cache->folderPath(Letter::IncomingFolder));
    }
    if (!m_storedWindows.isEmpty())
        return;
    if (m_failed)
        endWhenListed();
    else if (m_walkDone && m_windowsInFlight == 0 && m_fetched >= m_toFetch.size())
        finish();
}

void MailCheck::onMessagesStored(StoredMessages messages)
{
    if (m_ended)
        return;
    // The next window is asked for at once, however long the listing takes.
    m_windowsInFlight = qMax(0, m_windowsInFlight - 1);
    m_storedWindows.append(messages);
    if (m_storedWindows.size() == 1)
        announceStored();
    fetchNextWindow();
}

void MailCheck::announceStored()
{
    if (m_storedWindows.isEmpty() || !m_cache)
        return;
    const StoredMessages &window = m_storedWindows.first();
    const int end = qMin(m_announced + lettersPerTurn, window.size());
    while (m_announced < end) {
        const StoredMessage &message = window.at(m_announced++);
        const QString id = m_asked.take(message.number);
        if (id.isEmpty())
            continue;
        m_cache->listReceived(message.fields, id);
        crashPoint("letter-listed");
        if (m_deleteOnServer)
            emit deleteMessageFromServer(message.number);
    }
    if (m_announced >= window.size()) {
        m_storedWindows.removeFirst();
        m_announced = 0;
        if (m_storedWindows.isEmpty())
            fetchNextWindow();
    }
    if (!m_storedWindows.isEmpty())
        QMetaObject::invokeMethod(this, &MailCheck::announceStored, Qt::QueuedConnection);
}

void MailCheck::onFailed()
{
    // The mark stays: the next check walks past what this one stored.
    m_failed = true;
    if (m_storedWindows.isEmpty())
        endWhenListed();
}

void MailCheck::finish()
{
    if (m_finished || m_failed)
        return;
    m_finished = true;
    // Every file above the stop is in place and durable (the worker makes
    // each window durable before it reports it): the mark can go.
    if (m_hasMark)
        emit setCheckMark(markPath(), QByteArray(), false);
    m_hasMark = false;
    emit lettersRecieved();
    endWhenListed();
}

void MailCheck::endWhenListed()
{
    if (m_ended || !m_storedWindows.isEmpty())
        return;
    m_ended = true;
    emit ended();
}
