#include "model/model.h"

#include "model/letter.h"

Model::Model(QString indexPath, int folder, QObject *parent)
    : QAbstractListModel(parent)
    , m_index(std::move(indexPath))
    , m_folder(folder)
{
    const QVector<FolderIndex::Entry> entries = m_index.load();
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
