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
    // Letters filed or indexed while results are shown: one refresh for
    // a burst of them.
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(200);
    connect(&m_refresh, &QTimer::timeout, this, &SearchResults::refresh);
    if (search) {
        connect(search, &LetterSearch::changed, this, [this] {
            if (!m_text.isEmpty())
                m_refresh.start();
        });
    }
}

void SearchResults::setFolders(const std::array<Model *, 5> &folders)
{
    for (size_t folder = 0; folder < folders.size(); ++folder) {
        if (m_folders[folder])
            m_folders[folder]->disconnect(this);
        m_folders[folder] = folders[folder];
        if (!folders[folder])
            continue;
        const auto later = [this] {
            if (!m_text.isEmpty())
                m_refresh.start();
        };
        connect(folders[folder], &QAbstractItemModel::rowsInserted, this, later);
        connect(folders[folder], &QAbstractItemModel::rowsRemoved, this, later);
        connect(folders[folder], &QAbstractItemModel::modelReset, this, later);
    }
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
    emit searchTextChanged();
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

void SearchResults::refresh()
{
    QVector<Row> rows;
    const QStringList words = Model::foldForSearch(m_text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty()) {
        std::array<QSet<QString>, 5> hits;
        if (m_search) {
            for (const auto &hit : m_search->search(m_text)) {
                if (hit.folder >= 0 && hit.folder < int(hits.size()))
                    hits[size_t(hit.folder)].insert(hit.name);
            }
        }
        for (int folder = 0; folder < int(m_folders.size()); ++folder) {
            const Model *model = folderModel(folder);
            if (!model)
                continue;
            const QSet<QString> &found = hits[size_t(folder)];
            for (int row = 0; row < model->rowCount(); ++row) {
                bool match = model->matchesSearch(row, words);
                if (!match && !found.isEmpty())
                    match = found.contains(StoreLayout::fileBaseName(model->idAt(row)));
                if (match)
                    rows.append({folder, model->idAt(row), model->dateAt(row), row});
            }
        }
        std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.date > b.date; });
        if (rows.size() > MaxRows)
            rows.resize(MaxRows);
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}
