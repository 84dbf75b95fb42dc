#include "contacts/contactsmodel.h"

#include "contacts/contactimageprovider.h"
#include "contacts/sqlitedatabase.h"
#include "model/letter.h"

#include <QDateTime>

ContactsModel::ContactsModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_database(new SqliteDatabase(this))
{
    if (m_database->open())
        loadContacts();
}

void ContactsModel::loadContacts()
{
    const QVector<Contact> contacts = m_database->readContacts();
    if (contacts.isEmpty())
        return;
    beginInsertRows(QModelIndex(), 0, contacts.size() - 1);
    m_contacts = contacts;
    endInsertRows();
}

int ContactsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_contacts.size();
}

QVariant ContactsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_contacts.size())
        return QVariant();
    const Contact &contact = m_contacts.at(index.row());
    switch (role) {
    case IdRole:
        return contact.id;
    case NameRole:
        return contact.name;
    case EmailRole:
        return contact.email;
    case NameAndEmailRole:
        return contact.name + contact.email;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ContactsModel::roleNames() const
{
    return {{IdRole, "idString"},
            {NameRole, "name"},
            {EmailRole, "email"},
            {NameAndEmailRole, "nameAndEmail"}};
}

bool ContactsModel::hasEmail(const QString &email) const
{
    for (const Contact &contact : m_contacts) {
        if (contact.email == email)
            return true;
    }
    return false;
}

void ContactsModel::addContactsFromLetter(Letter *letter)
{
    if (!letter)
        return;
    const QString now = QString::number(QDateTime::currentMSecsSinceEpoch());
    for (const Recipient &recipient : letter->toList()) {
        const QString email = recipient.address();
        // A recipient with a name came from the suggestions: it is known.
        if (!recipient.name().isEmpty() || email.isEmpty() || hasEmail(email))
            continue;

        Contact contact{now, email.section(QLatin1Char('@'), 0, 0), email};
        const QString stored = m_database->insertContact(contact);
        if (!stored.isEmpty())
            contact.id = stored;
        beginInsertRows(QModelIndex(), m_contacts.size(), m_contacts.size());
        m_contacts.append(contact);
        endInsertRows();
    }
}

void ContactsModel::setContactImageProvider(ContactImageProvider *provider)
{
    if (provider)
        provider->setModel(this);
}
