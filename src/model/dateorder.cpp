#include "model/dateorder.h"

#include "model/model.h"

#include <algorithm>
#include <numeric>

namespace {
// Beyond this many rows at once, rows are put in place in one step rather
// than announced one by one.
constexpr int ManyRows = 32;
} // namespace

DateOrder::DateOrder(QObject *parent)
    : QAbstractProxyModel(parent)
{
}

void DateOrder::setFolder(Model *folder)
{
    beginResetModel();
    if (m_folder)
        disconnect(m_folder, nullptr, this, nullptr);
    m_folder = folder;
    QAbstractProxyModel::setSourceModel(folder);
    if (folder) {
        connect(folder, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_folder = nullptr;
            sortAll();
            endResetModel();
        });
        connect(folder, &QAbstractItemModel::modelAboutToBeReset, this, &DateOrder::beginResetModel);
        connect(folder, &QAbstractItemModel::modelReset, this, [this] {
            sortAll();
            endResetModel();
        });
        // A folder's rows do not move; should they, they are put in order again.
        connect(folder, &QAbstractItemModel::layoutAboutToBeChanged, this, &DateOrder::beginResetModel);
        connect(folder, &QAbstractItemModel::layoutChanged, this, [this] {
            sortAll();
            endResetModel();
        });
        connect(folder, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
        connect(folder, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex &, int first, int last) { onRowsAboutToBeRemoved(first, last); });
        connect(folder, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) { onRowsRemoved(first, last); });
        connect(folder, &QAbstractItemModel::dataChanged, this, &DateOrder::onDataChanged);
    }
    sortAll();
    endResetModel();
}

void DateOrder::setOrder(Qt::SortOrder order)
{
    if (order == m_order)
        return;
    m_order = order;
    reorder();
}

bool DateOrder::before(int a, int b) const
{
    const qint64 timeA = m_folder->timeAt(a);
    const qint64 timeB = m_folder->timeAt(b);
    if (timeA != timeB)
        return m_order == Qt::DescendingOrder ? timeA > timeB : timeA < timeB;
    return a < b;
}

int DateOrder::placeOf(int folderRow) const
{
    return int(std::lower_bound(m_folderRows.cbegin(), m_folderRows.cend(), folderRow,
                                 [this](int row, int placed) { return before(row, placed); })
               - m_folderRows.cbegin());
}

void DateOrder::sortAll()
{
    m_folderRows.resize(m_folder ? m_folder->rowCount() : 0);
    std::iota(m_folderRows.begin(), m_folderRows.end(), 0);
    const auto less = [this](int a, int b) { return before(a, b); };
    // A folder is read newest first: then there is nothing to do.
    if (!std::is_sorted(m_folderRows.cbegin(), m_folderRows.cend(), less))
        std::sort(m_folderRows.begin(), m_folderRows.end(), less);
    placeRows();
}

void DateOrder::placeRows()
{
    m_rows.fill(-1, m_folder ? m_folder->rowCount() : 0);
    for (int row = 0; row < m_folderRows.size(); ++row) {
        if (m_folderRows.at(row) < m_rows.size())
            m_rows[m_folderRows.at(row)] = row;
    }
}

void DateOrder::reorder()
{
    emit layoutAboutToBeChanged(QList<QPersistentModelIndex>(), VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QVector<int> folderRows;
    folderRows.reserve(before.size());
    for (const QModelIndex &index : before)
        folderRows.append(m_folderRows.at(index.row()));
    sortAll();
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i)
        after.append(index(m_rows.at(folderRows.at(i)), before.at(i).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged(QList<QPersistentModelIndex>(), VerticalSortHint);
}

void DateOrder::onRowsInserted(int first, int last)
{
    const int count = last - first + 1;
    for (int &row : m_folderRows) {
        if (row >= first)
            row += count;
    }
    if (count > ManyRows) {
        beginInsertRows(QModelIndex(), m_folderRows.size(), m_folderRows.size() + count - 1);
        for (int row = first; row <= last; ++row)
            m_folderRows.append(row);
        placeRows();
        endInsertRows();
        reorder();
        return;
    }
    // A check files its letters one at a time into folders of many
    // thousand: the places are moved along, not all made again.
    m_rows.insert(first, count, -1);
    for (int row = first; row <= last; ++row) {
        const int place = placeOf(row);
        beginInsertRows(QModelIndex(), place, place);
        m_folderRows.insert(place, row);
        for (int &shown : m_rows) {
            if (shown >= place)
                ++shown;
        }
        m_rows[row] = place;
        endInsertRows();
    }
}

void DateOrder::onRowsAboutToBeRemoved(int first, int last)
{
    if (last - first + 1 > ManyRows) {
        m_resetting = true;
        beginResetModel();
        return;
    }
    QVector<int> places;
    for (int row = first; row <= last; ++row)
        places.append(m_rows.at(row));
    // From the last: the places before stay as they are.
    std::sort(places.begin(), places.end(), std::greater<int>());
    for (const int place : qAsConst(places)) {
        beginRemoveRows(QModelIndex(), place, place);
        m_folderRows.remove(place);
        placeRows();
        endRemoveRows();
    }
}

void DateOrder::onRowsRemoved(int first, int last)
{
    if (m_resetting) {
        m_resetting = false;
        sortAll();
        endResetModel();
        return;
    }
    const int count = last - first + 1;
    for (int &row : m_folderRows) {
        if (row > last)
            row -= count;
    }
    placeRows();
}

void DateOrder::onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    // A letter saved again may have a date of its own now.
    const int size = m_folderRows.size();
    bool moved = false;
    for (int row = topLeft.row(); row <= bottomRight.row() && !moved; ++row) {
        const int place = m_rows.at(row);
        moved = (place > 0 && !before(m_folderRows.at(place - 1), row))
                || (place < size - 1 && !before(row, m_folderRows.at(place + 1)));
    }
    if (moved)
        reorder();
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const QModelIndex shown = index(m_rows.at(row), 0);
        emit dataChanged(shown, shown);
    }
}

QModelIndex DateOrder::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= m_folderRows.size() || column != 0)
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex DateOrder::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int DateOrder::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_folderRows.size();
}

int DateOrder::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QModelIndex DateOrder::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!m_folder || !proxyIndex.isValid() || proxyIndex.row() >= m_folderRows.size())
        return QModelIndex();
    return m_folder->index(m_folderRows.at(proxyIndex.row()), proxyIndex.column());
}

QModelIndex DateOrder::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.row() >= m_rows.size())
        return QModelIndex();
    return index(m_rows.at(sourceIndex.row()), sourceIndex.column());
}
