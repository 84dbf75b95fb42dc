#pragma once

#include <QAbstractListModel>
#include <QDateTime>
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
    // More than this many are not listed: a word found in every letter
    // makes no list anyone reads through.
    static constexpr int MaxRows = 5000;

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
        QDateTime date;
        mutable int sourceRow;
    };
    void refresh();
    Model *folderModel(int folder) const;

    QPointer<LetterSearch> m_search;
    std::array<QPointer<Model>, 5> m_folders;
    QString m_text;
    QVector<Row> m_rows;
    QTimer m_refresh;
};
