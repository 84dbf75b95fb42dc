#include "search/indexer.h"

#include "base/crashpoint.h"
#include "model/backgroundwork.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/messagefiles.h"
#include "model/storelayout.h"
#include "search/letterwords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>


namespace {

const QString messageSuffix = QStringLiteral(".eml");

// After a failure that is no damage (a full disk, a locked file) the
// folders are compared again this much later.
constexpr int RetryMilliseconds = 60 * 1000;

} // namespace

Indexer::Indexer(QString indexPath, QString accountAddress)
    : m_path(std::move(indexPath))
    , m_account(std::move(accountAddress))
    , m_batchTimer(new QTimer(this))
    , m_retryTimer(new QTimer(this))
{
    m_batchTimer->setSingleShot(true);
    m_batchTimer->setInterval(0);
    connect(m_batchTimer, &QTimer::timeout, this, &Indexer::runBatch);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(RetryMilliseconds);
    connect(m_retryTimer, &QTimer::timeout, this, &Indexer::reconcileAll);
}

Indexer::~Indexer() = default;

void Indexer::start()
{
    Q_ASSERT(QThread::currentThread() == thread());
    // Behind the window and the mail check whenever they want the processor,
    // also when the program itself was started with a lower priority.
    const pid_t thread = pid_t(::syscall(SYS_gettid));
    errno = 0;
    const int own = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, qMin(own + 10, 19));
    BackgroundWork::waitForWindow();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile::setPermissions(QFileInfo(m_path).absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    reconcileAll();
}

bool Indexer::openIndex()
{
    if (m_index && m_index->isOpen())
        return true;
    m_index = std::make_unique<SearchIndex>(m_path, SearchIndex::Mode::Write);
    if (m_index->open())
        return true;
    if (m_index->damaged()) {
        // Damaged, or of another version: it is only a cache.
        qWarning().noquote() << "Indexer: the search index" << m_path << "is made anew";
        m_index->discard();
        m_index = std::make_unique<SearchIndex>(m_path, SearchIndex::Mode::Write);
        if (m_index->open())
            return true;
    }
    m_index.reset();
    return false;
}

void Indexer::reconcileAll()
{
    m_jobs.clear();
    m_next = 0;
    if (!openIndex()) {
        m_retryTimer->start();
        emit progress(m_indexed, 0);
        return;
    }
    for (int folder = 0; folder < Letter::FolderCount; ++folder)
        reconcile(folder);
    schedule();
}

void Indexer::reconcile(int folder)
{
    if (!openIndex())
        return;
    // Both lists in byte order, walked side by side: at a hundred thousand
    // letters, sets of both sides' names took tens of megabytes.
    const MessageFiles::NameBlock files = MessageFiles::encodedFileNames(StoreLayout::folderPath(m_account, folder),
                                                                         messageSuffix);
    // A name as the index keeps it: the text the file system's bytes stand
    // for, without the suffix.
    MessageFiles::NameBlock onDisk;
    for (int i = 0; i < files.size(); ++i) {
        if (files.name(i)[0] == '.')
            continue;
        const QByteArray name = QFile::encodeName(QFile::decodeName(files.name(i)).chopped(messageSuffix.size()));
        onDisk.starts.append(onDisk.bytes.size());
        onDisk.bytes.append(name.constData(), name.size() + 1);
    }
    QVector<int> order(onDisk.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&onDisk](int a, int b) { return std::strcmp(onDisk.name(a), onDisk.name(b)) < 0; });
    int next = 0;
    const auto add = [&](int until) {
        for (; next < until; ++next)
            m_jobs.append({folder, QString::fromUtf8(onDisk.name(order.at(next))), true});
    };
    m_index->visitNames(folder, [&](const QByteArray &name) {
        const auto first = std::lower_bound(order.cbegin() + next, order.cend(), name, [&onDisk](int i, const QByteArray &n) {
            return std::strcmp(onDisk.name(i), n.constData()) < 0;
        });
        add(int(first - order.cbegin()));
        if (next < order.size() && name == onDisk.name(order.at(next)))
            ++next;
        else
            m_jobs.append({folder, QString::fromUtf8(name), false});
    });
    add(order.size());
}

void Indexer::fileAdded(int folder, const QString &name)
{
    m_jobs.append({folder, name, true});
    m_sinceArrival.start();
    schedule();
}

void Indexer::fileRemoved(int folder, const QString &name)
{
    m_jobs.append({folder, name, false});
    m_sinceArrival.start();
    schedule();
}

void Indexer::schedule()
{
    if (m_next >= m_jobs.size() || m_retryTimer->isActive() || m_batchTimer->isActive())
        return;
    const bool arriving = m_sinceArrival.isValid() && m_sinceArrival.elapsed() < ArrivingBatchMilliseconds;
    const qint64 since = m_sinceBatch.isValid() ? m_sinceBatch.elapsed() : ArrivingBatchMilliseconds;
    m_batchTimer->start(arriving ? int(qMax<qint64>(0, ArrivingBatchMilliseconds - since)) : 0);
}

bool Indexer::roomLeft() const
{
    // The index gives way to the mail: it never takes the last space that
    // the store needs for a letter.
    const QStorageInfo volume(QFileInfo(m_path).absolutePath());
    const qint64 margin = qMin<qint64>(qint64(MessageBounds::MaxSize), volume.bytesTotal() / 10);
    return !volume.isValid() || volume.bytesAvailable() > margin;
}

void Indexer::runBatch()
{
    if (m_next >= m_jobs.size())
        return;
    if (!openIndex() || !roomLeft() || !m_index->begin()) {
        recover();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    m_sinceBatch.start();
    int done = m_next;
    int added = 0;
    bool ok = true;
    while (ok && done < m_jobs.size() && clock.elapsed() < BatchMilliseconds) {
        const Job &job = m_jobs.at(done);
        if (job.add) {
            QFile file(StoreLayout::folderPath(m_account, job.folder) + QLatin1Char('/') + job.name
                       + messageSuffix);
            // Gone meanwhile (moved on): its removal follows.
            if (file.open(QIODevice::ReadOnly)) {
                ok = m_index->put(job.folder, job.name, LetterWords::fromMessage(MessageBounds::readFile(file)));
                ++added;
            }
        } else {
            ok = m_index->remove(job.folder, job.name);
        }
        crashPoint("search-letter");
        ++done;
    }
    if (!ok || !m_index->commit()) {
        m_index->rollback();
        recover();
        return;
    }
    crashPoint("search-batch");
    m_next = done;
    m_indexed += added;
    if (m_next >= m_jobs.size()) {
        m_jobs.clear();
        m_next = 0;
    } else if (m_next > 4096) {
        m_jobs.remove(0, m_next);
        m_next = 0;
    }
    emit progress(m_indexed, m_jobs.size() - m_next);
    emit changed();
    schedule();
}

void Indexer::recover()
{
    m_jobs.clear();
    m_next = 0;
    if (m_index && m_index->damaged()) {
        qWarning().noquote() << "Indexer: the search index" << m_path << "is damaged and made anew";
        m_index->discard();
        m_index.reset();
        emit changed();
        reconcileAll();
        return;
    }
    // Whatever waited is found again by the comparison.
    m_index.reset();
    m_retryTimer->start();
    emit progress(m_indexed, 0);
}
