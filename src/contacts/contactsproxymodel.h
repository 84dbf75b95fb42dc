#pragma once

#include <QSortFilterProxyModel>

// The compose form's suggestion list: the contacts whose name and address
// contain the typed text in any letter case, sorted by name and address.
// Main thread.
class ContactsProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ContactsProxyModel(QObject *parent = nullptr);

    using QSortFilterProxyModel::sort;

public slots:
    void setSourceModel(QAbstractItemModel *model) override;
    void sort();
};
