#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

// A private D-Bus session for the programs that a test starts, with GNOME
// Keyring's Secret Service in it when wanted. The bus starts no service by
// itself, so "no keyring" is a bus without one. The test process itself
// never joins the bus: the mail-library-free tools (secret-tool, dbus-send)
// look at the keyring as a user would.
class SecretService
{
public:
    enum State { Running, Locked, Absent };

    SecretService() = default;
    ~SecretService();
    SecretService(const SecretService &) = delete;
    SecretService &operator=(const SecretService &) = delete;

    bool startBus();
    // Stops the daemon, then starts it again (its stored keyring unlocked
    // with the test password) and locks it, or leaves it stopped.
    bool enter(State state);
    // Forgets every stored keyring; the daemon must be stopped.
    void clear();
    // The environment for a program that is to use this bus.
    QProcessEnvironment environment() const;
    // Every mail entry as "label|key|secret", sorted; starts the daemon
    // unlocked to read them.
    QStringList entries();

private:
    bool stopDaemon();
    bool hasOwner() const;
    QString run(const QString &program, const QStringList &arguments) const;

    QString m_address;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_daemon;
};
