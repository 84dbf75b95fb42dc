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

    // An empty path means the shared file in the user's configuration
    // directory (XDG_CONFIG_HOME, ~/.config by default), taken over from its
    // old name on first use. The file is made the user's alone.
    bool open(const QString &path = QString());
    void createTable();

    QVector<Contact> readContacts();
    // The id that the contact was stored under: its own, or the next free one
    // when that is taken. Empty when it was not stored.
    QString insertContact(const Contact &contact);
    // The contact's photo (an image file); empty when there is none.
    QByteArray photoData(const QString &id);

    // The file of the open connection; empty before open().
    QString fileName() const;

    // <configuration directory>/drel-phone.sqlite
    static QString defaultPath();

    // How long a read or an insert waits for the phone application to
    // release its lock on the file.
    static constexpr int BusyTimeoutMs = 3000;

private:
    void closeConnection();

    QSqlDatabase m_db;
};
