#include "model/model.h"

#include "model/letter.h"
#include "model/messagefiles.h"
#include "model/storelayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

Model::Model(QString indexPath, int folder, QObject *parent)
    : QAbstractListModel(parent)
    , m_index(std::move(indexPath))
    , m_folder(folder)
{
    const QVector<FolderIndex::Entry> entries = reconciled(m_index.load());
    m_letters.reserve(entries.size());
    for (const FolderIndex::Entry &entry : entries) {
        auto *letter = new Letter(this);
        letter->setId(entry.id);
        letter->setFrom(entry.from);
        letter->setSubject(entry.subject);
        letter->setLetterType(entry.letterType);
        letter->setFolderType(entry.folderType);
        letter->setDate(entry.date);
        if (entry.letterType == Letter::LetterUnseen)
            ++m_unseen;
        m_letters.append(letter);
    }
    emit unseenLettersChanged(m_unseen);
}

int Model::rowCount(const QModelIndex &) const
{
    return m_letters.size();
}

QVariant Model::data(const QModelIndex &index, int role) const
{
    Letter *letter = m_letters.value(index.row());
    if (!letter)
        return QVariant();
    switch (role) {
    case LetterRole:
        return QVariant::fromValue(letter);
    case FilterRole:
        return filterString(letter);
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
    return letter->from() + QLatin1Char(' ') + letter->subject() + QLatin1Char(' ')
            + letter->date().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

void Model::onNewLetter(Letter *letter)
{
    if (!letter)
        return;
    const int row = m_letters.size();
    beginInsertRows(QModelIndex(), row, row);
    m_letters.append(letter);
    endInsertRows();

    FolderIndex::Entry entry;
    entry.id = letter->id();
    entry.from = letter->from();
    entry.subject = letter->subject();
    entry.date = letter->date();
    entry.letterType = letter->letterType();
    entry.folderType = m_folder == Letter::TrashFolder ? letter->folderType() : m_folder;
    m_index.addEntry(entry);

    if (letter->letterType() == Letter::LetterUnseen) {
        ++m_unseen;
        emit unseenLettersChanged(m_unseen);
    }
    emit checkFolderLimits();
}

void Model::onSeenLetter(Letter *letter)
{
    if (!letter)
        return;
    m_index.setLetterType(letter->id(), letter->letterType());
    if (m_unseen > 0)
        --m_unseen;
    emit unseenLettersChanged(m_unseen);
}

void Model::onRemoveLetter(int index)
{
    if (index < 0 || index >= m_letters.size())
        return;
    Letter *letter = m_letters.at(index);
    m_index.removeEntry(letter->id());

    beginRemoveRows(QModelIndex(), index, index);
    m_letters.removeAt(index);
    endRemoveRows();
    letter->deleteLater();

    if (letter->letterType() == Letter::LetterUnseen) {
        --m_unseen;
        emit unseenLettersChanged(m_unseen);
    }
    emit checkFolderLimits();
}

QVector<FolderIndex::Entry> Model::reconciled(const QVector<FolderIndex::Entry> &entries)
{
    // The message files are the truth; the index only saves parsing them.
    // A crash or power cut between a file change and its index append
    // leaves them apart: rows come back for files the index lacks, and rows
    // whose file is gone are dropped.
    const QDir directory(QFileInfo(m_index.path()).absolutePath() + QLatin1Char('/')
                         + StoreLayout::folderName(m_folder));
    if (!directory.exists())
        return entries;
    QStringList names = MessageFiles::fileNames(directory.path(), QStringLiteral(".eml"));
    // Files that the index lacks come back in name order.
    std::sort(names.begin(), names.end());
    QSet<QString> files(names.cbegin(), names.cend());
    QVector<FolderIndex::Entry> result;
    result.reserve(entries.size());
    for (const FolderIndex::Entry &entry : entries) {
        if (files.remove(StoreLayout::messageFileName(entry.id))) {
            result.append(entry);
        } else {
            m_index.removeEntry(entry.id);
        }
    }
    for (const QString &name : names) {
        if (!files.contains(name))
            continue;
        QFile file(directory.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const ListFields fields = ListFields::fromMessage(file.read(256 * 1024));
        FolderIndex::Entry entry;
        const QString base = name.left(name.size() - 4);
        entry.id = StoreLayout::messageFileName(fields.id) == name ? fields.id : base;
        entry.from = fields.from;
        entry.subject = fields.subject;
        entry.date = fields.date.isValid() ? fields.date : QFileInfo(file).lastModified().toUTC();
        entry.letterType = m_folder == Letter::IncomingFolder ? Letter::LetterUnseen : Letter::LetterSeen;
        entry.folderType = m_folder == Letter::TrashFolder ? Letter::IncomingFolder : m_folder;
        m_index.addEntry(entry);
        result.append(entry);
    }
    return result;
}
