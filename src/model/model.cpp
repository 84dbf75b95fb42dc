#include "model/model.h"

#include "model/letter.h"
#include "model/messagebounds.h"
#include "model/messagefiles.h"
#include "model/storelayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent>
#include <QSet>

#include <algorithm>
#include <malloc.h>

Model::Model(QString indexPath, int folder, QObject *parent, Loading loading)
    : QAbstractListModel(parent)
    , m_index(std::move(indexPath))
    , m_folder(folder)
{
    if (loading == Loading::Now) {
        take(read(m_index.path(), m_folder));
        return;
    }
    const bool ahead = readsAhead().contains(m_index.path());
    QFuture<Contents> reading = ahead ? readsAhead().take(m_index.path())
                                      : QtConcurrent::run(&Model::read, m_index.path(), m_folder);
    // A read already done is taken at once: the window's first frame then
    // shows the rows.
    if (reading.isFinished()) {
        take(reading.result());
        reading = QFuture<Contents>(); // frees the result before the trim
        trimHeaps();
        return;
    }
    // The watcher goes with the model: a model gone before the read ends
    // hears nothing of it.
    auto *watcher = new QFutureWatcher<Contents>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        take(watcher->result());
    });
    connect(watcher, &QObject::destroyed, &Model::trimHeaps);
    watcher->setFuture(reading);
}

void Model::trimHeaps()
{
    // What a read left behind lies in its worker thread's own heap, which
    // the main thread never allocates from; once the result is gone, those
    // pages go back to the system.
    ::malloc_trim(0);
}

void Model::readAhead(const QString &indexPath, int folder)
{
    if (!readsAhead().contains(indexPath))
        readsAhead().insert(indexPath, QtConcurrent::run(&Model::read, indexPath, folder));
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
    m_index.take(contents.index);
    for (const QString &id : contents.gone)
        m_index.removeEntry(id);
    for (const FolderIndex::Entry &entry : contents.found)
        m_index.addEntry(entry);

    // The texts are copied here: shared, they would keep the reading
    // thread's heap, where they lie among its freed temporaries, in memory
    // for as long as the rows live.
    const auto copied = [](const QString &text) { return QString(text.constData(), text.size()); };
    beginResetModel();
    m_rows.reserve(contents.shown.size());
    m_keys.reserve(contents.keys.size());
    for (const QString &key : contents.keys)
        m_keys.append(copied(key));
    for (const FolderIndex::Entry &shown : contents.shown) {
        FolderIndex::Entry entry = shown;
        entry.id = copied(shown.id);
        entry.from = copied(shown.from);
        entry.subject = copied(shown.subject);
        entry.recipients = copied(shown.recipients);
        if (entry.letterType == Letter::LetterUnseen)
            ++m_unseen;
        m_rows.append(entry);
    }
    m_letters.resize(m_rows.size());
    endResetModel();
    m_loaded = true;
    emit unseenLettersChanged(m_unseen);
    const QVector<std::function<void()>> waiting = std::move(m_waiting);
    for (const auto &change : waiting)
        change();
}

Letter *Model::letterAt(int row) const
{
    if (row < 0 || row >= m_letters.size())
        return nullptr;
    Letter *&letter = m_letters[row];
    if (!letter) {
        const FolderIndex::Entry &entry = m_rows.at(row);
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

QDateTime Model::dateAt(int row) const
{
    if (row < 0 || row >= m_letters.size())
        return QDateTime();
    const Letter *letter = m_letters.at(row);
    return letter ? letter->date() : m_rows.at(row).date;
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
        return filterString(m_rows.at(row).from, m_rows.at(row).subject, m_rows.at(row).date);
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
        m_rows.append(entry);
        m_keys.append(searchKey(entry));
        m_letters.append(letter);
        endInsertRows();
    } else {
        Letter *previous = m_letters.at(row);
        wasUnseen = (previous ? previous->letterType() : m_rows.at(row).letterType) == Letter::LetterUnseen;
        m_rows[row] = entry;
        m_keys[row] = searchKey(entry);
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

bool Model::keyMatches(int row, const QStringList &words) const
{
    const QString &key = m_keys.at(row);
    for (const QString &word : words) {
        if (!key.contains(word))
            return false;
    }
    return true;
}

int Model::rowOf(const QString &id) const
{
    // From the end: a letter filed again is most often a recent one.
    for (int row = m_rows.size() - 1; row >= 0; --row) {
        if (m_rows.at(row).id == id)
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

void Model::onRemoveLetter(int index)
{
    whenLoaded([this, index] { dropRow(index); });
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
    const bool unseen = (letter ? letter->letterType() : m_rows.at(index).letterType) == Letter::LetterUnseen;
    m_index.removeEntry(m_rows.at(index).id);

    beginRemoveRows(QModelIndex(), index, index);
    m_rows.removeAt(index);
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

Model::Contents Model::read(const QString &indexPath, int folder)
{
    // The message files are the truth; the index only saves parsing them.
    // A crash or power cut between a file change and its index append
    // leaves them apart: rows come back for files the index lacks, and rows
    // whose file is gone are dropped.
    Contents contents;
    contents.index = FolderIndex::read(indexPath);
    const QDir directory(QFileInfo(indexPath).absolutePath() + QLatin1Char('/')
                         + StoreLayout::folderName(folder));
    if (!directory.exists()) {
        contents.shown = contents.index.entries;
        return withKeys(std::move(contents));
    }
    QStringList names = MessageFiles::fileNames(directory.path(), QStringLiteral(".eml"));
    // Files that the index lacks come back in name order.
    std::sort(names.begin(), names.end());
    QSet<QString> files(names.cbegin(), names.cend());
    contents.shown.reserve(contents.index.entries.size());
    for (const FolderIndex::Entry &entry : qAsConst(contents.index.entries)) {
        if (files.remove(StoreLayout::messageFileName(entry.id)))
            contents.shown.append(entry);
        else
            contents.gone.append(entry.id);
    }
    for (const QString &name : qAsConst(names)) {
        if (!files.contains(name))
            continue;
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
        contents.found.append(entry);
        contents.shown.append(entry);
    }
    return withKeys(std::move(contents));
}

Model::Contents Model::withKeys(Contents contents)
{
    contents.keys.reserve(contents.shown.size());
    for (const FolderIndex::Entry &entry : qAsConst(contents.shown))
        contents.keys.append(searchKey(entry));
    return contents;
}

QString Model::searchKey(const FolderIndex::Entry &entry)
{
    return foldForSearch(entry.from + QLatin1Char('\n') + entry.recipients + QLatin1Char('\n') + entry.subject);
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
