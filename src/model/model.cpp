#include "model/model.h"

#include "model/backgroundwork.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/messagefiles.h"
#include "model/searchwords.h"
#include "model/storelayout.h"

#include <QBitArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent>
#include <QSet>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <malloc.h>
#include <mutex>

Model::Model(QString indexPath, int folder, QObject *parent, Loading loading)
    : QAbstractListModel(parent)
    , m_index(std::move(indexPath))
    , m_folder(folder)
{
    if (loading == Loading::Now) {
        const Contents contents = read(m_index.path());
        take(contents);
        takeCheck(check(m_index.path(), m_folder, m_rows));
        return;
    }
    const bool ahead = readsAhead().contains(m_index.path());
    QFuture<Contents> reading = ahead ? readsAhead().take(m_index.path())
                                      : QtConcurrent::run(&Model::read, m_index.path());
    // A read already done is taken at once: the window's first frame then
    // shows the rows.
    if (reading.isFinished()) {
        take(reading.result());
        reading = QFuture<Contents>(); // frees the result before the trim
        trimHeaps();
        checkInBackground();
        return;
    }
    // The watcher goes with the model: a model gone before the read ends
    // hears nothing of it.
    auto *watcher = new QFutureWatcher<Contents>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        take(watcher->result());
        watcher->setFuture(QFuture<Contents>());
        trimHeaps();
        checkInBackground();
    });
    watcher->setFuture(reading);
}

void Model::checkInBackground()
{
    // Listing many thousand files takes longer than showing the rows.
    auto *watcher = new QFutureWatcher<Check>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        takeCheck(watcher->result());
    });
    connect(watcher, &QObject::destroyed, &Model::trimHeaps);
    // The rows go along as they are now (shared, not copied); the worker
    // makes their ids.
    watcher->setFuture(BackgroundWork::run([path = m_index.path(), folder = m_folder, rows = m_rows] {
        return check(path, folder, rows);
    }));
}

void Model::trimHeaps()
{
    // What a read left behind lies in its worker thread's own heap, which
    // the main thread never allocates from; once the result is gone, those
    // pages go back to the system.
    ::malloc_trim(0);
}

void Model::readAhead(const QString &indexPath)
{
    if (!readsAhead().contains(indexPath))
        readsAhead().insert(indexPath, QtConcurrent::run(&Model::read, indexPath));
}

void Model::forgetReadsAhead()
{
    readsAhead().clear();
}

QHash<QString, QFuture<Model::Contents>> &Model::readsAhead()
{
    static QHash<QString, QFuture<Contents>> reads;
    return reads;
}

void Model::take(const Contents &contents)
{
    m_index.take(contents);

    // The rows are taken as they are: two blocks of text and a table,
    // however many letters the folder holds.
    beginResetModel();
    m_rows = contents.rows;
    m_idHashes.clear();
    m_idHashesMade = false;
    for (int row = 0; row < m_rows.size(); ++row)
        m_unseen += m_rows.letterType(row) == Letter::LetterUnseen;
    m_letters.resize(m_rows.size());
    m_keys.resize(m_rows.size());
    endResetModel();
    m_loaded = true;
    emit unseenLettersChanged(m_unseen);
    const QVector<std::function<void()>> waiting = std::move(m_waiting);
    for (const auto &change : waiting)
        change();
}

void Model::takeCheck(const Check &check)
{
    // The rows may have changed since the files were listed: a row that
    // went meanwhile is not there to drop, a file that came back is kept,
    // and a file that was announced meanwhile has its row already.
    const QString directory = QFileInfo(m_index.path()).absolutePath() + QLatin1Char('/')
            + StoreLayout::folderName(m_folder) + QLatin1Char('/');
    QSet<QString> gone;
    for (const QString &id : check.gone) {
        if (!QFile::exists(directory + StoreLayout::messageFileName(id)))
            gone.insert(id);
    }
    // Many rows at once go as one reset rather than one change each.
    const bool many = gone.size() > 32;
    if (many)
        beginResetModel();
    for (int row = m_rows.size() - 1; row >= 0 && !gone.isEmpty(); --row) {
        const QString id = m_rows.id(row);
        if (!gone.remove(id))
            continue;
        m_index.removeEntry(id);
        const Letter *letter = m_letters.at(row);
        m_unseen -= (letter ? letter->letterType() : m_rows.letterType(row)) == Letter::LetterUnseen;
        if (!many)
            beginRemoveRows(QModelIndex(), row, row);
        countId(id, -1);
        m_rows.remove(row);
        m_keys.removeAt(row);
        if (Letter *letter = m_letters.takeAt(row))
            letter->deleteLater();
        if (!many)
            endRemoveRows();
    }
    if (many)
        endResetModel();

    QSet<QString> shown;
    if (check.found.size() > 32) {
        shown.reserve(m_rows.size());
        for (int row = 0; row < m_rows.size(); ++row)
            shown.insert(m_rows.id(row));
    }
    QVector<FolderIndex::Entry> found;
    for (const FolderIndex::Entry &entry : check.found) {
        if (check.found.size() > 32 ? !shown.contains(entry.id) : rowOf(entry.id) < 0)
            found.append(entry);
    }
    if (!found.isEmpty()) {
        beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size() + found.size() - 1);
        for (const FolderIndex::Entry &entry : qAsConst(found)) {
            m_index.addEntry(entry);
            countId(entry.id, 1);
            m_rows.append(entry);
            m_keys.append(QString());
            m_letters.append(nullptr);
            m_unseen += entry.letterType == Letter::LetterUnseen ? 1 : 0;
        }
        endInsertRows();
    }
    m_checked = true;
    if (!check.gone.isEmpty() || !found.isEmpty()) {
        emit unseenLettersChanged(m_unseen);
        emit checkFolderLimits();
    }
}

Letter *Model::letterAt(int row) const
{
    if (row < 0 || row >= m_letters.size())
        return nullptr;
    Letter *&letter = m_letters[row];
    if (!letter) {
        const FolderIndex::Entry entry = m_rows.entry(row);
        letter = new Letter(const_cast<Model *>(this));
        letter->setId(entry.id);
        letter->setFrom(entry.from);
        letter->setSubject(entry.subject);
        letter->setRecipients(entry.recipients);
        letter->setLetterType(entry.letterType);
        letter->setFolderType(entry.folderType);
        letter->setDate(entry.date);
    }
    return letter;
}

const QString &Model::plainKey()
{
    static const QString key = QStringLiteral("plain");
    return key;
}

bool Model::matchesSearch(int row, const SearchWords &words) const
{
    const QStringView from = m_rows.fromView(row);
    const QStringView recipients = m_rows.recipientsView(row);
    const QStringView subject = m_rows.subjectView(row);
    QString &key = m_keys[row];
    if (key.isNull()) {
        const auto plain = [](QStringView text) {
            return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
        };
        key = plain(from) && plain(recipients) && plain(subject) ? plainKey() : searchKey(from, recipients, subject);
    }
    const bool isPlain = key.constData() == plainKey().constData();
    for (int word = 0; word < words.size(); ++word) {
        const bool found = isPlain
                ? words.isInPlain(word, from) || words.isInPlain(word, recipients) || words.isInPlain(word, subject)
                : words.isIn(word, key);
        if (!found)
            return false;
    }
    return true;
}

QDateTime Model::dateAt(int row) const
{
    if (row < 0 || row >= m_letters.size())
        return QDateTime();
    const Letter *letter = m_letters.at(row);
    return letter ? letter->date() : m_rows.date(row);
}

void Model::whenLoaded(std::function<void()> change)
{
    if (m_loaded)
        change();
    else
        m_waiting.append(std::move(change));
}

int Model::rowCount(const QModelIndex &) const
{
    return m_rows.size();
}

QVariant Model::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    switch (role) {
    case LetterRole:
        return QVariant::fromValue(letterAt(row));
    case FilterRole:
        if (const Letter *letter = m_letters.at(row))
            return filterString(letter);
        return filterString(m_rows.fromView(row).toString(), m_rows.subjectView(row).toString(), m_rows.date(row));
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> Model::roleNames() const
{
    return {{LetterRole, "letter"}, {FilterRole, "filterString"}};
}

QString Model::filterString(const Letter *letter)
{
    return filterString(letter->from(), letter->subject(), letter->date());
}

QString Model::filterString(const QString &from, const QString &subject, const QDateTime &date)
{
    return from + QLatin1Char(' ') + subject + QLatin1Char(' ')
            + date.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

void Model::onNewLetter(Letter *letter)
{
    if (!letter)
        return;
    // Taken now: a change that waits for the folder to load must not see
    // what happened to the letter since.
    FolderIndex::Entry entry;
    entry.id = letter->id();
    entry.from = letter->from();
    entry.subject = letter->subject();
    entry.recipients = letter->recipients();
    entry.date = letter->date();
    entry.letterType = letter->letterType();
    entry.folderType = m_folder == Letter::TrashFolder ? letter->folderType() : m_folder;
    whenLoaded([this, letter = QPointer<Letter>(letter), entry] {
        if (letter)
            addLetter(letter, entry);
    });
}

void Model::addLetter(Letter *letter, const FolderIndex::Entry &entry)
{
    // A folder holds one message file per id, so one row per id: a draft
    // saved again, or a letter whose file the folder's read already found,
    // takes the place of its row.
    const int row = rowOf(entry.id);
    bool wasUnseen = false;
    if (row < 0) {
        beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
        countId(entry.id, 1);
        m_rows.append(entry);
        m_keys.append(QString());
        m_letters.append(letter);
        endInsertRows();
    } else {
        Letter *previous = m_letters.at(row);
        wasUnseen = (previous ? previous->letterType() : m_rows.letterType(row)) == Letter::LetterUnseen;
        m_rows.replace(row, entry);
        m_keys[row] = QString();
        m_letters[row] = letter;
        if (previous && previous != letter)
            previous->deleteLater();
        emit dataChanged(index(row), index(row));
    }

    m_index.addEntry(entry);

    const bool unseen = entry.letterType == Letter::LetterUnseen;
    if (unseen != wasUnseen) {
        m_unseen += unseen ? 1 : -1;
        emit unseenLettersChanged(m_unseen);
    }
    if (row < 0)
        emit checkFolderLimits();
}

void Model::countId(QStringView id, int change)
{
    if (!m_idHashesMade)
        return;
    int &count = m_idHashes[qHash(id)];
    count += change;
    if (count <= 0)
        m_idHashes.remove(qHash(id));
}

int Model::rowOf(const QString &id) const
{
    if (!m_idHashesMade) {
        m_idHashes.reserve(m_rows.size());
        for (int row = 0; row < m_rows.size(); ++row)
            ++m_idHashes[qHash(m_rows.idView(row))];
        m_idHashesMade = true;
    }
    if (!m_idHashes.contains(qHash(QStringView(id))))
        return -1;
    // From the end: a letter filed again is most often a recent one.
    for (int row = m_rows.size() - 1; row >= 0; --row) {
        if (m_rows.idView(row).compare(id) == 0)
            return row;
    }
    return -1;
}

void Model::onSeenLetter(Letter *letter)
{
    if (!letter)
        return;
    whenLoaded([this, id = letter->id(), letterType = letter->letterType()] {
        m_index.setLetterType(id, letterType);
        m_unseen = qMax(0, m_unseen + (letterType == Letter::LetterUnseen ? 1 : -1));
        emit unseenLettersChanged(m_unseen);
    });
}

void Model::onRemoveLetterWithId(const QString &id)
{
    whenLoaded([this, id] { dropRow(rowOf(id)); });
}

void Model::dropRow(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    Letter *letter = m_letters.at(index);
    const bool unseen = (letter ? letter->letterType() : m_rows.letterType(index)) == Letter::LetterUnseen;
    m_index.removeEntry(m_rows.id(index));

    beginRemoveRows(QModelIndex(), index, index);
    countId(m_rows.idView(index), -1);
    m_rows.remove(index);
    m_keys.removeAt(index);
    m_letters.removeAt(index);
    endRemoveRows();
    if (letter)
        letter->deleteLater();

    if (unseen) {
        --m_unseen;
        emit unseenLettersChanged(m_unseen);
    }
    emit checkFolderLimits();
}

Model::Contents Model::read(const QString &indexPath)
{
    Contents contents = FolderIndex::read(indexPath);
    // Here rather than in the list's sort on the main thread, which then
    // finds the rows in order.
    contents.rows.sortNewestFirst();
    if (!contents.cacheData.isNull()) {
        // Kept for the next start while this one goes on.
        FolderIndex::Contents cache;
        std::swap(cache.cacheData, contents.cacheData);
        std::swap(cache.cacheGroups, contents.cacheGroups);
        cache.cacheStamp = contents.cacheStamp;
        cache.cacheSections = contents.cacheSections;
        QtConcurrent::run([indexPath, cache] { FolderIndex::writeCache(indexPath, cache); });
    }
    return contents;
}

Model::Check Model::check(const QString &indexPath, int folder, const FolderRows &shown)
{
    // The message files are the truth; the index only saves parsing them.
    // A crash or power cut between a file change and its index append
    // leaves them apart: rows come back for files the index lacks, and rows
    // whose file is gone are dropped.
    Check check;
    const QDir directory(QFileInfo(indexPath).absolutePath() + QLatin1Char('/')
                         + StoreLayout::folderName(folder));
    if (!directory.exists())
        return check;
    // The names stay in one block, and each row's file name is made and
    // dropped in turn: a folder of a hundred thousand letters is checked
    // without a string per file and per row.
    MessageFiles::NameBlock files = MessageFiles::encodedFileNames(directory.path(), QStringLiteral(".eml"));
    for (int i = 0; i < files.size(); ++i) {
        // A row names its file by the name decoded; a name that does not
        // come back from that is compared as it does.
        const char *name = files.name(i);
        if (std::all_of(name, name + std::strlen(name), [](char c) { return uchar(c) < 0x80; }))
            continue;
        const QByteArray again = QFile::encodeName(QFile::decodeName(name));
        if (again != name) {
            files.starts[i] = files.bytes.size();
            files.bytes.append(again.constData(), again.size() + 1);
        }
    }
    const auto less = [&files](int a, const char *b) { return std::strcmp(files.name(a), b) < 0; };
    QVector<int> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return less(a, files.name(b)); });
    QBitArray matched(files.size());
    for (int row = 0; row < shown.size(); ++row) {
        const QString id = shown.id(row);
        const QByteArray name = QFile::encodeName(StoreLayout::messageFileName(id));
        auto at = std::lower_bound(order.cbegin(), order.cend(), name.constData(), less);
        while (at != order.cend() && std::strcmp(files.name(*at), name.constData()) == 0 && matched.testBit(*at))
            ++at;
        if (at != order.cend() && std::strcmp(files.name(*at), name.constData()) == 0)
            matched.setBit(*at);
        else
            check.gone.append(id);
    }
    QStringList lacking;
    for (int i = 0; i < files.size(); ++i) {
        if (!matched.testBit(i))
            lacking.append(QFile::decodeName(files.name(i)));
    }
    // Files that the index lacks come back in name order.
    std::sort(lacking.begin(), lacking.end());
    for (const QString &name : qAsConst(lacking)) {
        QFile file(directory.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const ListFields fields = ListFields::fromMessage(file.read(MessageBounds::MaxHeaderSize));
        FolderIndex::Entry entry;
        const QString base = name.left(name.size() - 4);
        entry.id = StoreLayout::messageFileName(fields.id) == name ? fields.id : base;
        entry.from = fields.from;
        entry.subject = fields.subject;
        entry.recipients = fields.recipients;
        entry.date = fields.date.isValid() ? fields.date : QFileInfo(file).lastModified().toUTC();
        entry.letterType = folder == Letter::IncomingFolder ? Letter::LetterUnseen : Letter::LetterSeen;
        entry.folderType = folder == Letter::TrashFolder ? Letter::IncomingFolder : folder;
        check.found.append(entry);
    }
    return check;
}

QString Model::searchKey(QStringView from, QStringView recipients, QStringView subject)
{
    // What folding makes of each UTF-16 unit alone, a table of 256 units
    // at a time made on first use: folding a whole text is slow, and the
    // first search of a folder of many thousand letters folds them all.
    // The same as folding the whole text, as long as no character takes
    // two units (a text with one is folded whole): decomposing works on
    // each character alone, and the marks it leaves are dropped.
    struct Table {
        std::once_flag made;
        std::array<char16_t, 256> single; // the fold when it is one unit
        std::array<QString, 256> folds;   // when it is none or several
    };
    static std::array<Table, 256> tables;
    constexpr char16_t inFolds = 0xffff; // a noncharacter: never a fold
    const QStringView parts[] = {from, recipients, subject};
    QString key(int(from.size() + recipients.size() + subject.size() + 2), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(key.data());
    int length = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            out[length++] = u'\n';
        for (const QChar c : parts[i]) {
            if (c.isSurrogate())
                return foldForSearch(from.toString() + QLatin1Char('\n') + recipients.toString() + QLatin1Char('\n')
                                     + subject.toString());
            Table &table = tables[c.unicode() >> 8];
            std::call_once(table.made, [&table, c] {
                for (int low = 0; low < 256; ++low) {
                    const QChar unit(char16_t((c.unicode() & 0xff00) | low));
                    const QString fold = unit.isSurrogate() ? QString() : foldForSearch(QString(unit));
                    table.single[size_t(low)] = fold.size() == 1 ? char16_t(fold.at(0).unicode()) : inFolds;
                    table.folds[size_t(low)] = fold;
                }
            });
            const char16_t single = table.single[c.unicode() & 0xff];
            if (single != inFolds) {
                out[length++] = single;
                continue;
            }
            const QString &fold = table.folds[c.unicode() & 0xff];
            // Room for the rest of the text stays, a unit for a unit.
            key.resize(key.size() + fold.size());
            out = reinterpret_cast<char16_t *>(key.data());
            std::copy(fold.utf16(), fold.utf16() + fold.size(), out + length);
            length += fold.size();
        }
    }
    key.truncate(length);
    return key;
}

QString Model::foldForSearch(const QString &text)
{
    // Decomposed, an accented letter is its base letter and marks.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (!c.isMark())
            folded.append(c);
    }
    return folded.toCaseFolded();
}
