#include "model/proxymodel.h"

#include "base/settings.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/storelayout.h"

#include <algorithm>

ProxyModel::ProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(Model::LetterRole);
    setFilterRole(Model::FilterRole);
}

bool ProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // Sorting a folder of many thousand letters compares often: straight
    // from the folder model rather than through the role's variants.
    if (const auto *model = qobject_cast<const Model *>(sourceModel()))
        return model->timeAt(left.row()) < model->timeAt(right.row());
    return dateAt(left.row()) < dateAt(right.row());
}

QDateTime ProxyModel::dateAt(int sourceRow) const
{
    if (const auto *model = qobject_cast<const Model *>(sourceModel()))
        return model->dateAt(sourceRow);
    const auto *letter = qobject_cast<Letter *>(
            sourceModel()->index(sourceRow, 0).data(Model::LetterRole).value<QObject *>());
    return letter ? letter->date() : QDateTime();
}

int ProxyModel::count()
{
    return sourceModel() ? sourceModel()->rowCount() : 0;
}

void ProxyModel::setSearchText(const QString &text)
{
    const QStringList words = Model::foldForSearch(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == m_searchWords)
        return;
    m_searchWords = words;
    m_searchText = text;
    forgetFieldMatches();
    if (sourceModel() && !words.isEmpty())
        m_fieldMatches.fill(-1, sourceModel()->rowCount());
    m_wordLimit = WordHitsAtFirst;
    takeWordHits(m_textSearch && !words.isEmpty() ? m_textSearch(text, m_wordLimit) : QSet<QString>());
    // Rows made again in one sort: announced one by one, the rows that
    // come back when a search of a folder of many thousand letters is
    // cleared cost seconds.
    invalidate();
}

void ProxyModel::refreshWordHits()
{
    if (!m_textSearch || m_searchWords.isEmpty())
        return;
    QSet<QString> matches = m_textSearch(m_searchText, m_wordLimit);
    if (matches == m_textMatches)
        return;
    if (sourceModel() && m_fieldMatches.size() != sourceModel()->rowCount())
        m_fieldMatches.fill(-1, sourceModel()->rowCount());
    takeWordHits(std::move(matches));
    invalidateFilter();
}

bool ProxyModel::canFetchMore(const QModelIndex &parent) const
{
    // A full set of hits leaves older ones unasked.
    return QSortFilterProxyModel::canFetchMore(parent)
            || (!parent.isValid() && !m_searchWords.isEmpty() && m_textMatches.size() >= m_wordLimit);
}

void ProxyModel::fetchMore(const QModelIndex &parent)
{
    if (QSortFilterProxyModel::canFetchMore(parent)) {
        QSortFilterProxyModel::fetchMore(parent);
        return;
    }
    if (parent.isValid() || m_searchWords.isEmpty() || m_textMatches.size() < m_wordLimit)
        return;
    m_wordLimit *= 4;
    refreshWordHits();
}

bool ProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_searchWords.isEmpty())
        return QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent);
    const auto *model = qobject_cast<const Model *>(sourceModel());
    if (!model)
        return false;
    // Most letter ids are their file's name: the name is made only when
    // some hit's is not an id.
    const QString &id = model->idAt(sourceRow);
    return m_textMatches.contains(id) || (m_hashedMatches && m_textMatches.contains(StoreLayout::fileBaseName(id)))
            || fieldsMatch(*model, sourceRow);
}

bool ProxyModel::fieldsMatch(const Model &model, int sourceRow) const
{
    if (m_fieldMatches.size() != model.rowCount())
        return model.matchesSearch(sourceRow, m_searchWords);
    qint8 &known = m_fieldMatches[sourceRow];
    if (known < 0)
        known = model.matchesSearch(sourceRow, m_searchWords) ? 1 : 0;
    return known == 1;
}

void ProxyModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : m_sourceConnections)
        disconnect(connection);
    m_sourceConnections.clear();
    forgetFieldMatches();
    QSortFilterProxyModel::setSourceModel(model);
    if (!model)
        return;
    // After the base class's own handlers: a row it filters meanwhile is
    // looked at without the kept matches.
    m_sourceConnections = {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) {
                    // A folder adds its letters at the end.
                    if (first == m_fieldMatches.size() && sourceModel()->rowCount() == last + 1)
                        m_fieldMatches.insert(first, last - first + 1, qint8(-1));
                    else
                        forgetFieldMatches();
                }),
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) {
                    if (m_fieldMatches.size() == sourceModel()->rowCount() + last - first + 1)
                        m_fieldMatches.remove(first, last - first + 1);
                    else
                        forgetFieldMatches();
                }),
        connect(model, &QAbstractItemModel::dataChanged, this, &ProxyModel::forgetFieldMatches),
        connect(model, &QAbstractItemModel::modelReset, this, &ProxyModel::forgetFieldMatches),
        connect(model, &QAbstractItemModel::layoutChanged, this, &ProxyModel::forgetFieldMatches),
    };
}

void ProxyModel::takeWordHits(QSet<QString> matches)
{
    m_textMatches = std::move(matches);
    m_hashedMatches = std::any_of(m_textMatches.cbegin(), m_textMatches.cend(), [](const QString &name) {
        return name.startsWith(StoreLayout::hashedNamePrefix());
    });
}

int ProxyModel::sourceRowOf(const QString &id) const
{
    const auto *model = qobject_cast<const Model *>(sourceModel());
    return model ? model->rowOf(id) : -1;
}

Letter *ProxyModel::sourceLetterAt(int sourceRow) const
{
    const auto *model = qobject_cast<const Model *>(sourceModel());
    return model ? model->letterAt(sourceRow) : nullptr;
}

int ProxyModel::oldestSourceRow() const
{
    const int n = sourceModel()->rowCount();
    if (rowCount() == n) {
        // Newest first: the last row is the oldest letter.
        const int last = sortOrder() == Qt::DescendingOrder ? n - 1 : 0;
        return mapToSource(index(last, 0)).row();
    }
    // A search text hides rows: look for the oldest among all letters.
    int oldest = -1;
    QDateTime oldestDate;
    for (int row = 0; row < n; ++row) {
        const QDateTime date = dateAt(row);
        if (oldest < 0 || date < oldestDate) {
            oldest = row;
            oldestDate = date;
        }
    }
    return oldest;
}

void ProxyModel::onCheckFolderLimits()
{
    if (m_checking) {
        m_checkAgain = true;
        return;
    }
    if (!sourceModel())
        return;
    m_checking = true;
    do {
        m_checkAgain = false;
        const int limit = Settings::storeMessagesCount();
        const int n = sourceModel()->rowCount();
        if (limit < 1 || n <= limit)
            break;
        const int row = oldestSourceRow();
        if (row < 0 || row >= n)
            break;
        const auto *letter = qobject_cast<Letter *>(
                sourceModel()->index(row, 0).data(Model::LetterRole).value<QObject *>());
        if (!letter)
            break;
        // A letter in Trash carries the folder it came from; the letter to
        // remove is in this model's own folder.
        const auto *model = qobject_cast<const Model *>(sourceModel());
        emit beyondLimits(letter->id(), model ? model->folder() : letter->folderType(), nullptr);
    } while (m_checkAgain);
    m_checking = false;
}
