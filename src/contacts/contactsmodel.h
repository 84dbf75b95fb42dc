#pragma once

#include "contacts/contact.h"

#include <QAbstractListModel>
#include <QVector>

class ContactImageProvider;
class Letter;
class SqliteDatabase;

// The known recipient addresses, one row per address of a contact, read
// once from the shared contacts database and extended with the typed
// addresses of sent letters. Main thread.
class ContactsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        IdRole = Qt::UserRole + 1, // 257
        NameRole,                  // 258
        EmailRole,                 // 259
        NameAndEmailRole           // 260, what the proxy filters and sorts by
    };
    Q_ENUM(Roles)

    explicit ContactsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    SqliteDatabase *database() const { return m_database; }

public slots:
    void addContactsFromLetter(Letter *letter);
    void setContactImageProvider(ContactImageProvider *provider);

private:
    void loadContacts();
    bool hasEmail(const QString &email) const;

    SqliteDatabase *m_database; // child
    QVector<Contact> m_contacts;
};
