#pragma once

#include "model/searchwords.h"

#include <QSortFilterProxyModel>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <functional>
#include <vector>

class DateOrder;
class Letter;
class Model;

// Thread: main.
// Shows a folder's letters by date (the account sorts it descending, newest
// first), filters them by the search text, and keeps the folder within the
// global letter limit by asking the store to remove the oldest letter. The
// rows come in order from a DateOrder between the folder and this model,
// which filters only.
class ProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ProxyModel(QObject *parent = nullptr);

    // Where the words of the letters are looked up: given the typed text,
    // the message file base names of this folder whose words hold it, at
    // most limit of the newest letters. Their rows are shown beside those
    // whose sender, recipients or subject hold it; more are asked for when
    // the list is read to its end.
    using TextSearch = std::function<QSet<QString>(const QString &text, int limit)>;
    void setTextSearch(TextSearch search) { m_textSearch = std::move(search); }
    static constexpr int WordHitsAtFirst = 1000;

    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // A folder's Model; the source model is then the folder's DateOrder.
    void setSourceModel(QAbstractItemModel *model) override;
    Model *folderModel() const;
    // By date, whatever the column.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void beyondLimits(QString id, int folder, Letter *letter);

public slots:
    int count();
    // The unfiltered row of the letter with that id, -1 when it is not in
    // the folder, and the letter of such a row.
    int sourceRowOf(const QString &id) const;
    // Shows the letters whose sender, recipients or subject hold every
    // word of text, whatever their case and accents.
    void setSearchText(const QString &text);
    // The words of the letters have changed (more are indexed): the rows
    // found by them are looked up again.
    void refreshWordHits();
    Letter *sourceLetterAt(int sourceRow) const;
    void onCheckFolderLimits();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int oldestSourceRow() const;
    void takeWordHits(QSet<QString> matches);
    // Whether a row's sender, recipients or subject hold the words, kept
    // while the text stays: the word hits change every half second while
    // letters are indexed, and the rows' own fields need not be looked
    // through again each time.
    bool fieldsMatch(const Model &model, int folderRow) const;
    void forgetFieldMatches()
    {
        m_fieldMatches.clear();
        m_idHashes.clear();
    }
    void hashIds();

    // Removing one letter makes the model ask again from inside this slot;
    // the nested request is turned into another round of the outer loop, so
    // the stack stays flat however many letters have to go.
    SearchWords m_searchWords;
    QString m_searchText;
    TextSearch m_textSearch;
    QSet<QString> m_textMatches;
    // The hashes of m_textMatches: most rows are told apart from the hits
    // by their id's hash, without making a string of it.
    QSet<uint> m_textMatchHashes;
    bool m_hashedMatches = false; // some hit's file name is no letter id
    int m_wordLimit = WordHitsAtFirst;
    mutable QVector<qint8> m_fieldMatches; // by folder row: -1 not known yet; empty when out of step
    // The hashes of the rows' ids, by folder row, made on a search; empty
    // when out of step.
    QVector<uint> m_idHashes;
    DateOrder *m_order;
    std::vector<QMetaObject::Connection> m_sourceConnections;
    bool m_checking = false;
    bool m_checkAgain = false;
};
