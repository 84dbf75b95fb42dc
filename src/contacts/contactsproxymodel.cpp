#include "contacts/contactsproxymodel.h"

#include "contacts/contactsmodel.h"

ContactsProxyModel::ContactsProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(ContactsModel::NameAndEmailRole);
    setFilterRole(ContactsModel::NameAndEmailRole);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void ContactsProxyModel::setSourceModel(QAbstractItemModel *model)
{
    QSortFilterProxyModel::setSourceModel(model);
}

void ContactsProxyModel::sort()
{
    sort(0, Qt::AscendingOrder);
}
