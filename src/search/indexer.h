#pragma once

#include "search/searchindex.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <memory>

// Thread: a worker thread of its own (LetterSearch moves it there); every
// slot runs there.
// Keeps an account's word index in step with its message files: files
// announced as filed or removed are indexed or dropped in batches, each one
// transaction, and at start and after a failed batch the index is compared
// with the folder directories and set right.
// The index is only a cache: a damaged one is made anew, and a full disk
// only postpones the work.
class Indexer : public QObject
{
    Q_OBJECT

public:
    Indexer(QString indexPath, QString accountAddress);
    ~Indexer() override;

    // A batch ends after this long, so that new work and a quit are taken
    // in between.
    static constexpr int BatchMilliseconds = 100;
    // While a check files letters, one batch at most this often: the
    // index's writes would otherwise be flushed with every window of
    // letters the store makes durable, and slow the check down.
    static constexpr int ArrivingBatchMilliseconds = 1000;

public slots:
    // Opens (or makes) the index and catches up with the folders.
    void start();
    void fileAdded(int folder, const QString &name);
    void fileRemoved(int folder, const QString &name);

signals:
    // After each batch: letters indexed so far and letters still waiting.
    void progress(int indexed, int waiting);
    // The index has changed; searches may give other results.
    void changed();

private:
    struct Job {
        int folder;
        QString name;
        bool add;
    };
    bool openIndex();
    void reconcile(int folder);
    void reconcileAll();
    void schedule();
    void runBatch();
    // A batch failed: the index is made anew when damaged; otherwise the
    // work waits and the folders are compared again later.
    void recover();
    bool roomLeft() const;

    QString m_path;
    QString m_account;
    std::unique_ptr<SearchIndex> m_index;
    QVector<Job> m_jobs;
    int m_next = 0;
    int m_indexed = 0;
    QTimer *m_batchTimer;
    QElapsedTimer m_sinceArrival; // since a file was last announced
    QElapsedTimer m_sinceBatch;
    QTimer *m_retryTimer;
};
