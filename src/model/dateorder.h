#pragma once

#include <QAbstractProxyModel>
#include <QVector>

class Model;

// Thread: main.
// A folder's letters by date, newest or oldest first; letters of the same
// date in the folder's own order. The order is kept as letters come and go,
// so that the list filtered by a search of many thousand letters takes the
// rows as they stand instead of sorting them again.
class DateOrder : public QAbstractProxyModel
{
    Q_OBJECT

public:
    explicit DateOrder(QObject *parent = nullptr);

    void setFolder(Model *folder);
    Model *folder() const { return m_folder; }
    void setOrder(Qt::SortOrder order);
    Qt::SortOrder order() const { return m_order; }
    // The folder's row shown at a row, and the other way round.
    int folderRow(int row) const { return m_folderRows.at(row); }
    int rowOf(int folderRow) const { return m_rows.at(folderRow); }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;

private:
    // Whether the folder's row a is shown before its row b.
    bool before(int a, int b) const;
    // Where the folder's row goes among the others, which are in order.
    int placeOf(int folderRow) const;
    void sortAll();
    void placeRows();
    void reorder();
    void onRowsInserted(int first, int last);
    void onRowsAboutToBeRemoved(int first, int last);
    void onRowsRemoved(int first, int last);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);

    Model *m_folder = nullptr;
    Qt::SortOrder m_order = Qt::DescendingOrder;
    QVector<int> m_folderRows; // by row
    QVector<int> m_rows; // by the folder's row
    bool m_resetting = false; // a removal of many rows is one reset
};
