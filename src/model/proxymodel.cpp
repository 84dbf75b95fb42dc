#include "model/proxymodel.h"

#include "base/settings.h"
#include "model/dateorder.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/storelayout.h"

#include <algorithm>

ProxyModel::ProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_order(new DateOrder(this))
{
    setFilterRole(Model::FilterRole);
}

Model *ProxyModel::folderModel() const
{
    return m_order->folder();
}

void ProxyModel::sort(int, Qt::SortOrder order)
{
    m_order->setOrder(order);
}

int ProxyModel::count()
{
    return folderModel() ? folderModel()->rowCount() : 0;
}

void ProxyModel::setSearchText(const QString &text)
{
    SearchWords words(text);
    if (words == m_searchWords)
        return;
    m_searchWords = std::move(words);
    m_searchText = text;
    m_fieldMatches.clear();
    if (folderModel() && !m_searchWords.isEmpty()) {
        m_fieldMatches.fill(-1, folderModel()->rowCount());
        hashIds();
    }
    m_wordLimit = WordHitsAtFirst;
    takeWordHits(m_textSearch && !m_searchWords.isEmpty() ? m_textSearch(text, m_wordLimit) : QSet<QString>());
    // Rows made again in one go: announced one by one, the rows that
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
    if (folderModel() && m_fieldMatches.size() != folderModel()->rowCount())
        m_fieldMatches.fill(-1, folderModel()->rowCount());
    hashIds();
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
    const Model *model = folderModel();
    if (!model)
        return false;
    const int folderRow = m_order->folderRow(sourceRow);
    // Most letter ids are their file's name: the name is made only when
    // some hit's is not an id.
    if (!m_textMatches.isEmpty()) {
        const uint hash = m_idHashes.size() == model->rowCount() ? m_idHashes.at(folderRow)
                                                                 : qHash(model->idView(folderRow));
        if (m_textMatchHashes.contains(hash) && m_textMatches.contains(model->idAt(folderRow)))
            return true;
        if (m_hashedMatches && m_textMatches.contains(StoreLayout::fileBaseName(model->idAt(folderRow))))
            return true;
    }
    return fieldsMatch(*model, folderRow);
}

void ProxyModel::hashIds()
{
    const Model *model = folderModel();
    if (!model || m_idHashes.size() == model->rowCount())
        return;
    m_idHashes.resize(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row)
        m_idHashes[row] = qHash(model->idView(row));
}

bool ProxyModel::fieldsMatch(const Model &model, int folderRow) const
{
    if (m_fieldMatches.size() != model.rowCount())
        return model.matchesSearch(folderRow, m_searchWords);
    qint8 &known = m_fieldMatches[folderRow];
    if (known < 0)
        known = model.matchesSearch(folderRow, m_searchWords) ? 1 : 0;
    return known == 1;
}

void ProxyModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : m_sourceConnections)
        disconnect(connection);
    m_sourceConnections.clear();
    forgetFieldMatches();
    Model *folder = qobject_cast<Model *>(model);
    m_order->setFolder(folder);
    QSortFilterProxyModel::setSourceModel(folder ? m_order : nullptr);
    if (!folder)
        return;
    // After the base class's own handlers: a row it filters meanwhile is
    // looked at without the kept matches.
    m_sourceConnections = {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) {
                    // A folder adds its letters at the end.
                    const Model *model = folderModel();
                    if (first == m_fieldMatches.size() && model->rowCount() == last + 1)
                        m_fieldMatches.insert(first, last - first + 1, qint8(-1));
                    else
                        m_fieldMatches.clear();
                    if (first == m_idHashes.size() && model->rowCount() == last + 1) {
                        for (int row = first; row <= last; ++row)
                            m_idHashes.append(qHash(model->idView(row)));
                    } else {
                        m_idHashes.clear();
                    }
                }),
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) {
                    const int before = folderModel()->rowCount() + last - first + 1;
                    if (m_fieldMatches.size() == before)
                        m_fieldMatches.remove(first, last - first + 1);
                    else
                        m_fieldMatches.clear();
                    if (m_idHashes.size() == before)
                        m_idHashes.remove(first, last - first + 1);
                    else
                        m_idHashes.clear();
                }),
        connect(model, &QAbstractItemModel::dataChanged, this, &ProxyModel::forgetFieldMatches),
        connect(model, &QAbstractItemModel::modelReset, this, &ProxyModel::forgetFieldMatches),
        connect(model, &QAbstractItemModel::layoutChanged, this, &ProxyModel::forgetFieldMatches),
    };
}

void ProxyModel::takeWordHits(QSet<QString> matches)
{
    m_textMatches = std::move(matches);
    m_textMatchHashes.clear();
    m_textMatchHashes.reserve(m_textMatches.size());
    for (const QString &name : qAsConst(m_textMatches))
        m_textMatchHashes.insert(qHash(QStringView(name)));
    m_hashedMatches = std::any_of(m_textMatches.cbegin(), m_textMatches.cend(), [](const QString &name) {
        return name.startsWith(StoreLayout::hashedNamePrefix());
    });
}

int ProxyModel::sourceRowOf(const QString &id) const
{
    const Model *model = folderModel();
    return model ? model->rowOf(id) : -1;
}

Letter *ProxyModel::sourceLetterAt(int sourceRow) const
{
    const Model *model = folderModel();
    return model ? model->letterAt(sourceRow) : nullptr;
}

int ProxyModel::oldestSourceRow() const
{
    // Whatever the search hides, every letter is in the date order.
    const int n = m_order->rowCount();
    if (n == 0)
        return -1;
    return m_order->folderRow(m_order->order() == Qt::DescendingOrder ? n - 1 : 0);
}

void ProxyModel::onCheckFolderLimits()
{
    if (m_checking) {
        m_checkAgain = true;
        return;
    }
    const Model *model = folderModel();
    if (!model)
        return;
    m_checking = true;
    do {
        m_checkAgain = false;
        const int limit = Settings::storeMessagesCount();
        const int n = model->rowCount();
        if (limit < 1 || n <= limit)
            break;
        const int row = oldestSourceRow();
        if (row < 0 || row >= n)
            break;
        // A letter in Trash carries the folder it came from; the letter to
        // remove is in this model's own folder.
        emit beyondLimits(model->idAt(row), model->folder(), nullptr);
    } while (m_checkAgain);
    m_checking = false;
}
