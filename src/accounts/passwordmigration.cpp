#include "accounts/passwordmigration.h"

#include "accounts/utils.h"
#include "base/crashpoint.h"
#include "base/keyring.h"
#include "base/settings.h"

#include <QList>

#include <memory>

PasswordMigration::PasswordMigration(Keyring *keyring, QObject *parent)
    : QObject(parent)
    , m_keyring(keyring)
{
}

void PasswordMigration::start()
{
    const QStringList emails = Settings::accounts();
    for (const QString &email : emails) {
        if (Settings::hasSealedPasswords(email))
            migrate(email);
    }
}

void PasswordMigration::migrate(const QString &email)
{
    const Settings::AccountRecord stored = Settings::account(email);
    QList<std::pair<Keyring::Entry, QString>> moves;
    if (!stored.inPassword.isEmpty())
        moves.append({{email, stored.inServer, true}, Utils::decrypt(stored.inPassword)});
    if (!stored.outPassword.isEmpty())
        moves.append({{email, stored.outServer, false}, Utils::decrypt(stored.outPassword)});
    for (int i = moves.size() - 1; i >= 0; --i) {
        if (moves.at(i).second.isEmpty())
            moves.removeAt(i);
    }
    if (moves.isEmpty()) {
        Settings::removeSealedPasswords(email);
        return;
    }

    struct Progress
    {
        int open = 0;
        bool failed = false;
    };
    auto progress = std::make_shared<Progress>();
    progress->open = moves.size();
    for (const auto &move : qAsConst(moves)) {
        m_keyring->write(move.first, move.second, this, [email, progress](bool written) {
            crashPoint("keyring-written");
            progress->failed = progress->failed || !written;
            if (--progress->open > 0 || progress->failed)
                return;
            Settings::removeSealedPasswords(email);
        });
    }
}
