#pragma once

#include <QObject>
#include <QString>

class Keyring;

// Thread: main.
// Moves the sealed passwords that older versions kept in the settings file
// into the keyring. An account's passwords leave the file only once the
// keyring has confirmed that it holds them; until then the account goes on
// with the sealed ones, and the next start tries again.
class PasswordMigration : public QObject
{
    Q_OBJECT

public:
    PasswordMigration(Keyring *keyring, QObject *parent = nullptr);

    // Starts the move of every account that still has sealed passwords.
    void start();

private:
    void migrate(const QString &email);

    Keyring *m_keyring;
};
