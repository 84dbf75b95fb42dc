#include "search/lettersearch.h"

#include "model/backgroundwork.h"
#include "model/letter.h"
#include "model/storelayout.h"
#include "search/indexer.h"
#include "store/cache.h"

#include <QFile>
#include <QStandardPaths>

LetterSearch::LetterSearch(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("search-indexer"));
    m_notice.setSingleShot(true);
    connect(&m_notice, &QTimer::timeout, this, [this] {
        m_sinceNotice.start();
        emit changed();
    });
}

LetterSearch::~LetterSearch()
{
    stop();
}

QString LetterSearch::indexPath(const QString &accountAddress)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
            + QStringLiteral("/drel-mail/search/") + StoreLayout::fileBaseName(accountAddress)
            + QStringLiteral(".sqlite");
}

void LetterSearch::stop()
{
    if (m_cache)
        m_cache->disconnect(this);
    m_reader.reset();
    m_notice.stop();
    if (m_thread.isRunning()) {
        // An indexer that waits for the window would hold this up.
        BackgroundWork::releaseForWindow();
        m_thread.quit();
        m_thread.wait();
    }
    m_indexer = nullptr;
}

void LetterSearch::watch(Cache *cache)
{
    stop();
    m_cache = cache;
    if (!cache)
        return;
    m_path = indexPath(cache->accountAddress());
    m_indexer = new Indexer(m_path, cache->accountAddress());
    m_indexer->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_indexer, &QObject::deleteLater);
    connect(this, &LetterSearch::fileAdded, m_indexer, &Indexer::fileAdded);
    connect(this, &LetterSearch::fileRemoved, m_indexer, &Indexer::fileRemoved);
    connect(m_indexer, &Indexer::progress, this, &LetterSearch::onProgress);
    connect(m_indexer, &Indexer::changed, this, &LetterSearch::onIndexChanged);
    m_thread.start();
    QMetaObject::invokeMethod(m_indexer, &Indexer::start, Qt::QueuedConnection);

    // Where the store announces letters; the one place that knows its signals.
    connect(cache, &Cache::letterFiled, this, [this](int folder, Letter *letter) {
        if (letter)
            emit fileAdded(folder, StoreLayout::fileBaseName(letter->id()));
    });
    connect(cache, &Cache::letterRemoved, this, [this](int folder, const QString &id) {
        emit fileRemoved(folder, StoreLayout::fileBaseName(id));
    });
}

void LetterSearch::onProgress(int indexed, int waiting)
{
    const bool was = isIndexing();
    m_waiting = waiting;
    if (was != isIndexing())
        emit indexingChanged();
    emit progress(indexed, waiting);
}

void LetterSearch::onIndexChanged()
{
    // A reader keeps the file it opened: one made anew needs a new one.
    if (m_reader && !QFile::exists(m_path))
        m_reader.reset();
    if (m_notice.isActive())
        return;
    const qint64 since = m_sinceNotice.isValid() ? m_sinceNotice.elapsed() : NoticeMilliseconds;
    m_notice.start(int(qMax<qint64>(0, NoticeMilliseconds - since)));
}

QVector<SearchIndex::Hit> LetterSearch::search(const QString &typed, int folder, int limit, qint64 before)
{
    if (m_path.isEmpty())
        return {};
    if (!m_reader) {
        m_reader = std::make_unique<SearchIndex>(m_path, SearchIndex::Mode::Read);
        if (!QFile::exists(m_path) || !m_reader->open()) {
            m_reader.reset();
            return {};
        }
    }
    return m_reader->search(typed, folder, limit, before);
}

QSet<QString> LetterSearch::matchingNames(const QString &typed, int folder, int limit)
{
    QSet<QString> names;
    for (const SearchIndex::Hit &hit : search(typed, folder, limit))
        names.insert(hit.name);
    return names;
}
