#pragma once

#include "search/searchindex.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <memory>

class Cache;
class Indexer;

// Thread: main. Its Indexer runs on a worker thread of its own.
// The full-text search of one account: follows what the store files and
// removes, has it indexed off the main thread, and answers queries from
// the index. The index lives in $XDG_CACHE_HOME/drel-mail/search/.
class LetterSearch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool indexing READ isIndexing NOTIFY indexingChanged)

public:
    explicit LetterSearch(QObject *parent = nullptr);
    ~LetterSearch() override;

    // Where the index of an account is kept.
    static QString indexPath(const QString &accountAddress);

    // Indexes the cache's account (catching up with its folders) and
    // follows every letter the cache files or removes; a new cache replaces
    // the one watched before.
    void watch(Cache *cache);

    // The files whose words hold every word typed (the last one may go
    // on), those of the newest letters first, at most limit of them and
    // only those ordered below before (to go on from an earlier call's
    // last hit); folder -1 for all folders.
    QVector<SearchIndex::Hit> search(const QString &typed, int folder = -1, int limit = SearchIndex::DefaultLimit,
                                     qint64 before = std::numeric_limits<qint64>::max());
    // The message file base names of one folder's hits.
    QSet<QString> matchingNames(const QString &typed, int folder, int limit = SearchIndex::DefaultLimit);

    // Letters are waiting to be indexed.
    bool isIndexing() const { return m_waiting > 0; }

    static constexpr int NoticeMilliseconds = 500;

signals:
    void indexingChanged();
    // The index changed: the results of a search shown may have too. At
    // most every NoticeMilliseconds while letters are indexed, so that the
    // lists shown fill in as the index grows without being made again for
    // every batch.
    void changed();
    // After each batch of the indexer (also a failed one): letters indexed
    // since the start, and letters still waiting.
    void progress(int indexed, int waiting);

    // To the indexer.
    void fileAdded(int folder, const QString &name);
    void fileRemoved(int folder, const QString &name);

private:
    void stop();
    void onProgress(int indexed, int waiting);
    void onIndexChanged();

    QThread m_thread;
    Indexer *m_indexer = nullptr; // lives on m_thread, deleted when it ends
    QPointer<Cache> m_cache;
    std::unique_ptr<SearchIndex> m_reader;
    QString m_path;
    int m_waiting = 0;
    QTimer m_notice;
    QElapsedTimer m_sinceNotice;
};
