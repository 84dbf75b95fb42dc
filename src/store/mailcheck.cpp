#include "store/mailcheck.h"

#include "base/crashpoint.h"
#include "base/settings.h"
#include "model/letter.h"
#include "model/storelayout.h"
#include "store/cache.h"

#include <QFile>

namespace {
// Windows asked for ahead: while the worker writes one it fetches the
// next, and the request after that is already waiting for it.
const int windowsAhead = 4;

// Where the fetch window that starts after the first fetched messages ends:
// the newest message alone, so that it is listed at once; then windows that
// grow while the first are written and listed, ending on multiples of the
// first full one. Larger windows cost fewer commands and flushes; the
// largest bounds what the worker holds.
int fetchWindowEnd(int fetched)
{
    const int full = 50;
    const int largest = 200;
    if (fetched == 0)
        return 1;
    if (fetched < full)
        return full;
    return fetched + qMin(fetched, largest);
}
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
    m_resuming = m_hasMark;
    m_markStop = m_hasMark ? QString::fromUtf8(mark.readAll()).trimmed() : QString();
    // Read once: the worker opens the inbox for writing only when it is set.
    m_deleteOnServer = Settings::deleteFromServer();
    emit getNewMail(0);
}

void MailCheck::onNewMessageIds(QList<int> numbers, QStringList ids)
{
    if (m_walkDone || m_ended || !m_cache)
        return;
    walkWindow(numbers, ids);
    const int lowest = numbers.isEmpty() ? 1 : numbers.last();
    if (!m_walkDone && lowest <= 1)
        m_walkDone = true;   // reached the oldest message
    // Deleting, the fetch waits for the walk's end: a mark that names no
    // stop would let the next check walk past, and delete on the server,
    // what earlier checks kept there.
    if (m_toFetch.isEmpty() || (!m_walkDone && m_deleteOnServer && !m_hasMark)) {
        if (m_walkDone)
            finish();
        else
            emit getNewMail(lowest - 1);
        return;
    }
    if (!m_hasMark) {
        // Before the first file of the check (the worker takes the jobs in
        // order, and fetches nothing once this fails): from here until the
        // check ends, held messages no longer prove that older ones are held.
        // While the walk goes on, its stop is not known: the mark names none
        // (the next check walks to the oldest) until the walk finds it.
        emit setCheckMark(markPath(), (m_walkDone ? m_stopAt : QString()).toUtf8() + '\n', true);
        m_hasMark = true;
        m_markOpen = !m_walkDone;
    } else if (m_markOpen && m_walkDone) {
        if (!m_stopAt.isEmpty())
            emit setCheckMark(markPath(), m_stopAt.toUtf8() + '\n', true);
        m_markOpen = false;
    }
    fetchNextWindow();
    // The walk goes on while the first new messages are fetched; the worker
    // takes the jobs in order, so the first windows come first.
    if (!m_walkDone)
        emit getNewMail(lowest - 1);
}

void MailCheck::walkWindow(const QList<int> &numbers, const QStringList &ids)
{
    for (int i = 0; i < numbers.size() && i < ids.size(); ++i) {
        if (ids.at(i).isEmpty())
            continue;
        const QString fileName = StoreLayout::messageFileName(ids.at(i));
        // Two server messages with one id share one file. This check's own
        // are known once listed, which the walk may meet later: they are
        // not held ones.
        if (m_inWalk.contains(fileName))
            continue;
        if (!m_cache->isKnownMessageFile(fileName)) {
            m_inWalk.insert(fileName);
            m_toFetch.append({numbers.at(i), ids.at(i)});
            continue;
        }
        // Held. Without a mark everything below is held as well; with one,
        // only below the message it names.
        if (!m_resuming || (!m_markStop.isEmpty() && fileName == m_markStop)) {
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
        const int wanted = fetchWindowEnd(m_fetched);
        // A window cut short by the walk's frontier would only cost commands.
        if (!m_walkDone && m_fetched > 0 && wanted > m_toFetch.size())
            break;
        const int end = qMin(wanted, m_toFetch.size());
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
