#pragma once

#include "contacts/contact.h"

#include <QByteArray>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// The contacts database shared with the phone application: one SQLite file
// with the table "contact". Each object holds a connection of its own, so it
// is used only on the thread that opened it.
class SqliteDatabase : public QObject
{
    Q_OBJECT

public:
    explicit SqliteDatabase(QObject *parent = nullptr);
    ~SqliteDatabase() override;

    // An empty path means the shared file in ~/.config, taken over from its
    // old name on first use.
    bool open(const QString &path = QString());
    void createTable();

    QVector<Contact> readContacts();
    void insertContact(const Contact &contact);
    // The contact's photo (an image file); empty when there is none.
    QByteArray photoData(const QString &id);

    // The file of the open connection; empty before open().
    QString fileName() const;

    // ~/.config/drel-phone.sqlite
    static QString defaultPath();

    // How long a read or an insert waits for the phone application to
    // release its lock on the file.
    static constexpr int BusyTimeoutMs = 3000;

private:
    void closeConnection();

    QSqlDatabase m_db;
};
