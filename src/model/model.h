#pragma once

#include "folderindex.h"

#include <QAbstractListModel>
#include <QList>

class Letter;

// Thread: main.
// The letters of one folder, with the folder's index file kept in step so
// that the list appears at start without reading any message file.
class Model : public QAbstractListModel
{
    Q_OBJECT

public:
    enum MailRoles {
        LetterRole = Qt::UserRole + 1,
        FilterRole
    };

    // Loads the folder's index file at once.
    Model(QString indexPath, int folder, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int unseenLetters() const { return m_unseen; }
    int folder() const { return m_folder; }
    QString indexPath() const { return m_index.path(); }
    Letter *letterAt(int row) const { return m_letters.value(row); }

    // The text the search field is matched against: from, subject and date.
    static QString filterString(const Letter *letter);

signals:
    void unseenLettersChanged(int unseen);
    void checkFolderLimits();

public slots:
    void onNewLetter(Letter *letter);
    void onSeenLetter(Letter *letter);
    void onRemoveLetter(int index);

private:
    QVector<FolderIndex::Entry> reconciled(const QVector<FolderIndex::Entry> &entries);

    int m_unseen = 0;
    QList<Letter *> m_letters;
    FolderIndex m_index;
    int m_folder;
};
