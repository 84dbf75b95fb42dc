#include "model/proxymodel.h"

#include "base/settings.h"
#include "model/letter.h"
#include "model/model.h"

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
    const auto *model = qobject_cast<const Model *>(sourceModel());
    const Letter *l = model ? model->letterAt(left.row())
                            : qobject_cast<Letter *>(left.data(Model::LetterRole).value<QObject *>());
    const Letter *r = model ? model->letterAt(right.row())
                            : qobject_cast<Letter *>(right.data(Model::LetterRole).value<QObject *>());
    if (!l || !r)
        return false;
    return l->date() < r->date();
}

int ProxyModel::getSourceModelIndex(int index)
{
    return mapToSource(this->index(index, 0)).row();
}

int ProxyModel::count()
{
    return sourceModel() ? sourceModel()->rowCount() : 0;
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
        const auto *letter = qobject_cast<Letter *>(
                sourceModel()->index(row, 0).data(Model::LetterRole).value<QObject *>());
        if (letter && (oldest < 0 || letter->date() < oldestDate)) {
            oldest = row;
            oldestDate = letter->date();
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
        emit beyondLimits(letter->id(), row, model ? model->folder() : letter->folderType(),
                          nullptr);
    } while (m_checkAgain);
    m_checking = false;
}
