#pragma once

#include "model/folderindex.h"

#include <QAbstractListModel>
#include <QFuture>
#include <QHash>
#include <QVector>

#include <functional>

class Letter;
class SearchWords;

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

    enum class Loading { Now, InBackground };

    // Starts the background read of a folder now, for the model that is
    // made for the same index file later: at start, the folders of the
    // account to be shown are read while the window is set up.
    static void readAhead(const QString &indexPath);
    // Drops the reads that no model took: made later, a model must not take
    // what the files said back then.
    static void forgetReadsAhead();

    // Loads the folder's index file and lists its message files, at once or
    // on a worker thread. Until a background load has read the index the
    // folder is empty and the changes that come in wait for it, in order;
    // the rows are shown then, and put right from the message files (rows
    // whose file is gone, files the index lacks) once they are listed.
    Model(QString indexPath, int folder, QObject *parent = nullptr, Loading loading = Loading::Now);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int unseenLetters() const { return m_unseen; }
    int folder() const { return m_folder; }
    QString indexPath() const { return m_index.path(); }
    // The letter of a row, made on first use: a folder of many thousand
    // letters keeps only their list fields until a row is shown or opened.
    Letter *letterAt(int row) const;
    QDateTime dateAt(int row) const;
    // The date as a number to sort by; invalid dates first.
    qint64 timeAt(int row) const { return m_rows.time(row); }
    // The index is read and the rows agree with the message files.
    bool isLoaded() const { return m_loaded && m_checked; }
    // The row of the letter with that id; -1 when it is not in the folder.
    int rowOf(const QString &id) const;

    // The text the search field is matched against: from, subject and date.
    static QString filterString(const Letter *letter);
    static QString filterString(const QString &from, const QString &subject, const QDateTime &date);
    // Text as the search compares it: case-folded, without accents.
    static QString foldForSearch(const QString &text);
    // Whether the row's sender, recipients or subject hold every one of
    // the (folded) words. A row's folded text is made on the first search,
    // and only for rows beyond ASCII, whose text is not already its own
    // folded form but for case: a folder of many thousand letters then
    // folds only what is typed, and keeps no second copy of plain rows.
    bool matchesSearch(int row, const SearchWords &words) const;
    // The letter id of a row, without making its letter; the view lasts
    // until the rows change.
    QString idAt(int row) const { return m_rows.id(row); }
    QStringView idView(int row) const { return m_rows.idView(row); }

signals:
    void unseenLettersChanged(int unseen);
    void checkFolderLimits();

public slots:
    void onNewLetter(Letter *letter);
    void onSeenLetter(Letter *letter);
    // The row of that id goes, if the folder shows one.
    void onRemoveLetterWithId(const QString &id);

private:
    // What the index says.
    using Contents = FolderIndex::Contents;
    // How the rows must change to agree with the folder's files.
    struct Check {
        QStringList gone;
        QVector<FolderIndex::Entry> found;
    };
    static QString searchKey(QStringView from, QStringView recipients, QStringView subject);
    static Contents read(const QString &indexPath);
    static Check check(const QString &indexPath, int folder, const FolderRows &shown);
    static QHash<QString, QFuture<Contents>> &readsAhead();
    static void trimHeaps();
    void take(const Contents &contents);
    void checkInBackground();
    void takeCheck(const Check &check);
    void addLetter(Letter *letter, const FolderIndex::Entry &entry);
    void dropRow(int index);
    // Runs a change now, or once the folder is loaded.
    void whenLoaded(std::function<void()> change);
    // Keep m_idHashes in step with rows that come and go.
    void countId(QStringView id, int change);

    int m_unseen = 0;
    bool m_loaded = false;
    bool m_checked = false;
    QVector<std::function<void()>> m_waiting;
    FolderRows m_rows;
    // The folded text of a row beyond ASCII; plainKey() for the others;
    // null until the first search.
    mutable QVector<QString> m_keys;
    static const QString &plainKey();
    // Null until made; once made, the letter is what the row shows.
    mutable QVector<Letter *> m_letters;
    // How many rows have an id of each hash, made on the first rowOf(): a
    // letter filed into a folder of a hundred thousand is mostly new, and
    // its row is then known to be missing without comparing every id.
    mutable QHash<uint, int> m_idHashes;
    mutable bool m_idHashesMade = false;
    FolderIndex m_index;
    int m_folder;
};
