#pragma once

#include "model/searchwords.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <array>

class Letter;
class LetterSearch;
class Model;

// Thread: main.
// The letters of every folder of an account that a search finds, newest
// first: those whose words hold what was typed (from the word index) and
// those whose sender, recipients or subject hold it (from the folders, so a
// letter not yet indexed is not hidden). The window shows it like a folder;
// each row knows its folder and its row there, for opening, replying and
// deleting.
class SearchResults : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText NOTIFY searchTextChanged)

public:
    SearchResults(LetterSearch *search, QObject *parent = nullptr);

    // The account's folder models, by folder number.
    void setFolders(const std::array<Model *, 5> &folders);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString searchText() const { return m_text; }
    // At first this many are listed, of the newest letters found; a list
    // read to its end asks for four times as many.
    static constexpr int FirstRows = 1000;

    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    void searchTextChanged();

public slots:
    void setSearchText(const QString &text);
    // The folder of a row, and its row in that folder's model (-1 when gone).
    int folderAt(int row) const;
    int getSourceModelIndex(int row) const;
    int count() const { return m_rows.size(); }
    Letter *letterAt(int row) const;

private:
    struct Row {
        int folder;
        QString id;
        qint64 time; // as the folder model sorts by
        mutable int sourceRow;
    };
    // Looks the rows up again; a new search text lists them anew, else the
    // rows that came or went are announced as such, so the list stays
    // where the user scrolled it.
    void refresh();
    void update(QVector<Row> rows);
    // A refresh after a burst of changes, at most one per interval.
    void refreshSoon();
    // Newest first; rows of the same time in a fixed order, so that two
    // lists can be compared in one pass.
    static bool listedBefore(const Row &a, const Row &b);
    Model *folderModel(int folder) const;
    // What a folder's rows say, kept between refreshes: the index changes
    // far more often than the folders while letters are indexed, and
    // looking through 100,000 rows each time held up the window.
    struct FolderRows {
        QVector<Row> matching;       // whose sender, recipients or subject hold the text
        // Row by message file name, made on first use: by the id's hash
        // (the id is the name of most files; a string per row of a folder
        // of 100,000 held up the window), and by name for the few whose id
        // is none.
        QMultiHash<uint, int> byIdHash;
        QHash<QString, int> byHashedName;
        bool matched = false;
    };
    FolderRows &rowsOf(int folder);
    int rowOfFile(int folder, const QString &name);
    void folderRowsInserted(int folder, int first, int last);
    void forgetFolderRows(int folder);

    QPointer<LetterSearch> m_search;
    std::array<QPointer<Model>, 5> m_folders;
    QString m_text;
    QVector<Row> m_rows;
    QString m_listed; // the search text that m_rows were found for
    SearchWords m_words;
    std::array<FolderRows, 5> m_folderRows;
    int m_limit = FirstRows;
    // The last search left letters out (more rows, or more hits in the
    // index, than the limit).
    bool m_cut = false;
    QTimer m_refresh;
};
