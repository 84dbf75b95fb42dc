#include "search/searchresults.h"

#include "model/letter.h"
#include "model/model.h"
#include "model/storelayout.h"
#include "search/lettersearch.h"

#include <QSet>

#include <algorithm>

SearchResults::SearchResults(LetterSearch *search, QObject *parent)
    : QAbstractListModel(parent)
    , m_search(search)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(200);
    connect(&m_refresh, &QTimer::timeout, this, &SearchResults::refresh);
    if (search)
        connect(search, &LetterSearch::changed, this, &SearchResults::refreshSoon);
}

void SearchResults::refreshSoon()
{
    // Letters filed or indexed while results are shown: one refresh for a
    // burst of them, and a check of many letters or the first indexing of
    // a store still fills the list in as it goes.
    if (!m_text.isEmpty() && !m_refresh.isActive())
        m_refresh.start();
}

void SearchResults::setFolders(const std::array<Model *, 5> &folders)
{
    for (size_t folder = 0; folder < folders.size(); ++folder) {
        if (m_folders[folder])
            m_folders[folder]->disconnect(this);
        m_folders[folder] = folders[folder];
        if (!folders[folder])
            continue;
        const int number = int(folder);
        connect(folders[folder], &QAbstractItemModel::rowsInserted, this,
                [this, number](const QModelIndex &, int first, int last) { folderRowsInserted(number, first, last); });
        connect(folders[folder], &QAbstractItemModel::rowsRemoved, this, [this, number] { forgetFolderRows(number); });
        connect(folders[folder], &QAbstractItemModel::modelReset, this, [this, number] { forgetFolderRows(number); });
    }
    for (int folder = 0; folder < int(m_folderRows.size()); ++folder)
        m_folderRows[size_t(folder)] = FolderRows();
    // Rows of other models: listed anew.
    m_listed.clear();
    refresh();
}

Model *SearchResults::folderModel(int folder) const
{
    return folder >= 0 && folder < int(m_folders.size()) ? m_folders[size_t(folder)].data() : nullptr;
}

int SearchResults::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant SearchResults::data(const QModelIndex &index, int role) const
{
    if (role != Model::LetterRole || index.row() < 0 || index.row() >= m_rows.size())
        return QVariant();
    return QVariant::fromValue<QObject *>(letterAt(index.row()));
}

QHash<int, QByteArray> SearchResults::roleNames() const
{
    return {{Model::LetterRole, "letter"}};
}

void SearchResults::setSearchText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_words = SearchWords(text);
    for (FolderRows &rows : m_folderRows) {
        rows.matching.clear();
        rows.matched = false;
    }
    m_limit = FirstRows;
    emit searchTextChanged();
    m_refresh.stop();
    refresh();
}

bool SearchResults::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_cut;
}

void SearchResults::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    m_limit *= 4;
    m_refresh.stop();
    refresh();
}

int SearchResults::folderAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).folder : -1;
}

int SearchResults::getSourceModelIndex(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return -1;
    const Row &entry = m_rows.at(row);
    const Model *model = folderModel(entry.folder);
    if (!model)
        return -1;
    // The folder may have changed since the search; look again only then.
    if (entry.sourceRow < 0 || entry.sourceRow >= model->rowCount() || model->idAt(entry.sourceRow) != entry.id)
        entry.sourceRow = model->rowOf(entry.id);
    return entry.sourceRow;
}

Letter *SearchResults::letterAt(int row) const
{
    const int sourceRow = getSourceModelIndex(row);
    const Model *model = folderModel(folderAt(row));
    return model && sourceRow >= 0 ? model->letterAt(sourceRow) : nullptr;
}

void SearchResults::folderRowsInserted(int folder, int first, int last)
{
    FolderRows &rows = m_folderRows[size_t(folder)];
    const Model *model = folderModel(folder);
    // A folder adds its letters at the end; anything else is looked
    // through again.
    if (!model || last != model->rowCount() - 1) {
        forgetFolderRows(folder);
        return;
    }
    for (int row = first; row <= last; ++row) {
        const QString &id = model->idAt(row);
        if (!rows.byIdHash.isEmpty())
            rows.byIdHash.insert(qHash(model->idView(row)), row);
        if (!rows.byHashedName.isEmpty())
            rows.byHashedName.insert(StoreLayout::fileBaseName(id), row);
        if (rows.matched && model->matchesSearch(row, m_words))
            rows.matching.append({folder, id, model->timeAt(row), row});
    }
    refreshSoon();
}

void SearchResults::forgetFolderRows(int folder)
{
    m_folderRows[size_t(folder)] = FolderRows();
    refreshSoon();
}

SearchResults::FolderRows &SearchResults::rowsOf(int folder)
{
    FolderRows &rows = m_folderRows[size_t(folder)];
    const Model *model = folderModel(folder);
    if (!rows.matched && model) {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->matchesSearch(row, m_words))
                rows.matching.append({folder, model->idAt(row), model->timeAt(row), row});
        }
        rows.matched = true;
    }
    return rows;
}

int SearchResults::rowOfFile(int folder, const QString &name)
{
    const Model *model = folderModel(folder);
    if (!model)
        return -1;
    FolderRows &rows = m_folderRows[size_t(folder)];
    if (!name.startsWith(StoreLayout::hashedNamePrefix())) {
        if (rows.byIdHash.isEmpty()) {
            rows.byIdHash.reserve(model->rowCount());
            for (int row = 0; row < model->rowCount(); ++row)
                rows.byIdHash.insert(qHash(model->idView(row)), row);
        }
        const uint hash = qHash(QStringView(name));
        for (auto at = rows.byIdHash.constFind(hash); at != rows.byIdHash.cend() && at.key() == hash; ++at) {
            if (model->idView(at.value()).compare(name) == 0)
                return at.value();
        }
        return -1;
    }
    if (rows.byHashedName.isEmpty()) {
        rows.byHashedName.reserve(model->rowCount());
        for (int row = 0; row < model->rowCount(); ++row)
            rows.byHashedName.insert(StoreLayout::fileBaseName(model->idAt(row)), row);
    }
    return rows.byHashedName.value(name, -1);
}

void SearchResults::refresh()
{
    QVector<Row> rows;
    bool cut = false;
    if (!m_words.isEmpty()) {
        const QVector<SearchIndex::Hit> hits = m_search ? m_search->search(m_text, -1, m_limit) : QVector<SearchIndex::Hit>();
        cut = hits.size() >= m_limit;
        for (int folder = 0; folder < int(m_folders.size()); ++folder)
            rows += rowsOf(folder).matching;
        for (const SearchIndex::Hit &hit : hits) {
            const Model *model = folderModel(hit.folder);
            if (!model)
                continue;
            // Not listed in the folder (yet): a letter being moved, or one
            // filed an instant ago.
            const int row = rowOfFile(hit.folder, hit.name);
            if (row >= 0 && row < model->rowCount())
                rows.append({hit.folder, model->idAt(row), model->timeAt(row), row});
        }
        // A letter found by its words and by the list's fields alike is
        // there twice, side by side once sorted: the newest limit of them
        // are among the newest limit and hits.
        const int keep = qMin(rows.size(), m_limit + hits.size());
        cut = cut || keep < rows.size();
        std::partial_sort(rows.begin(), rows.begin() + keep, rows.end(), &SearchResults::listedBefore);
        rows.resize(keep);
        rows.erase(std::unique(rows.begin(), rows.end(),
                               [](const Row &a, const Row &b) { return a.folder == b.folder && a.id == b.id; }),
                   rows.end());
        if (rows.size() > m_limit) {
            rows.resize(m_limit);
            cut = true;
        }
    }
    m_cut = cut;
    if (m_listed == m_text) {
        update(std::move(rows));
        return;
    }
    m_listed = m_text;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

bool SearchResults::listedBefore(const Row &a, const Row &b)
{
    if (a.time != b.time)
        return a.time > b.time;
    if (a.folder != b.folder)
        return a.folder < b.folder;
    return a.id < b.id;
}

void SearchResults::update(QVector<Row> rows)
{
    int at = 0;
    int next = 0;
    while (at < m_rows.size() || next < rows.size()) {
        if (at < m_rows.size() && next < rows.size() && !listedBefore(m_rows.at(at), rows.at(next))
                && !listedBefore(rows.at(next), m_rows.at(at))) {
            m_rows[at].sourceRow = rows.at(next).sourceRow;
            ++at;
            ++next;
            continue;
        }
        // The rows listed before the next one found are no longer found.
        int gone = at;
        while (gone < m_rows.size() && (next >= rows.size() || listedBefore(m_rows.at(gone), rows.at(next))))
            ++gone;
        if (gone > at) {
            beginRemoveRows(QModelIndex(), at, gone - 1);
            m_rows.erase(m_rows.begin() + at, m_rows.begin() + gone);
            endRemoveRows();
            continue;
        }
        int added = next;
        while (added < rows.size() && (at >= m_rows.size() || listedBefore(rows.at(added), m_rows.at(at))))
            ++added;
        beginInsertRows(QModelIndex(), at, at + added - next - 1);
        m_rows.insert(at, added - next, Row{});
        std::move(rows.begin() + next, rows.begin() + added, m_rows.begin() + at);
        endInsertRows();
        at += added - next;
        next = added;
    }
}
