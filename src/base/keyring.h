#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// Thread: main. Every call returns at once; the desktop's keyring (Secret
// Service or KWallet) answers later on the main thread, so a slow or locked
// keyring never holds up the window. Calls take effect one after another in
// the order made, so a move and a later removal cannot overtake each other.
// Mail passwords in the desktop's keyring: one entry per account and server,
// and what the keyring was found to be the last time it was asked.
class Keyring : public QObject
{
    Q_OBJECT

public:
    enum State { Unknown, Open, Locked, Missing };
    Q_ENUM(State)

    // One account's password for one of its servers. The label is what the
    // keyring's own tool shows, e.g. "Mail: user@example.org on
    // imap.example.org"; it is also the entry's name, so it is never
    // translated.
    struct Entry
    {
        QString account;
        QString server; // the record's address, as the settings keep it
        bool incoming = true;
        QString label() const;
        QString key() const;
        bool operator==(const Entry &other) const;
    };

    // password is empty when the keyring holds none (or was not usable:
    // see state()).
    using ReadDone = std::function<void(const QString &password)>;
    using WriteDone = std::function<void(bool written)>;

    explicit Keyring(QObject *parent = nullptr);

    State state() const { return m_state; }
    // Calls made and not yet answered; a program that ends meanwhile loses
    // them.
    bool busy() const { return m_running; }

    // Each callback runs once, unless context is gone by then; a write's
    // may be null.
    void read(const Entry &entry, QObject *context, ReadDone done);
    void write(const Entry &entry, const QString &password, QObject *context, WriteDone done);
    void remove(const Entry &entry);
    // Write under the new name first, then remove the old one: a failure in
    // between leaves the password under both, never under none.
    void move(const Entry &from, const Entry &to);

    // The host part of a server address ("login:secret@host:993" gives
    // "host"), so that no label carries a password or a port.
    static QString hostOf(const QString &serverAddress);

signals:
    void stateChanged(Keyring::State state);

private:
    // A step gets the function that it calls once it is over.
    using Step = std::function<void(std::function<void()> over)>;
    void enqueue(Step step);
    void runNext();
    void setState(State state);
    void startRead(const Entry &entry, ReadDone done);
    void startWrite(const Entry &entry, const QString &password, WriteDone done);
    void startRemove(const Entry &entry, std::function<void()> done);
    // A lookup that found nothing may have met a locked keyring, which the
    // Secret Service reports just like an empty one: ask it which.
    void checkLocked(std::function<void()> then);

    State m_state = Unknown;
    QList<Step> m_steps;
    bool m_running = false;
};
