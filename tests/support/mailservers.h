#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

#include <csignal>

// The real mail servers of one test program: Dovecot (IMAP, POP3, each plain
// with STARTTLS and with implicit TLS) and an SMTP server that delivers into
// Dovecot's Maildir, all on 127.0.0.1 on free ports. Start them in
// initTestCase and stop them in cleanupTestCase; the destructor stops them
// too, and the script stops them by itself when this process dies.
class MailServers
{
public:
    MailServers() = default;
    ~MailServers();
    MailServers(const MailServers &) = delete;
    MailServers &operator=(const MailServers &) = delete;

    bool start();
    void stop();
    bool isRunning() const;
    // Stops Dovecot as a restart does (its sessions hear BYE) and starts it
    // again; each returns once that is done.
    bool stopDovecot() { return signalScript(SIGUSR1, "stopped"); }
    bool startDovecot() { return signalScript(SIGUSR2, "started"); }

    int imapPort() const { return value("IMAP_PORT").toInt(); }
    int imapsPort() const { return value("IMAPS_PORT").toInt(); }
    int pop3Port() const { return value("POP3_PORT").toInt(); }
    int pop3sPort() const { return value("POP3S_PORT").toInt(); }
    int smtpPort() const { return value("SMTP_PORT").toInt(); }
    int smtpsPort() const { return value("SMTPS_PORT").toInt(); }
    // Plain SMTP without the SMTPUTF8 extension (the others offer it).
    int smtpAsciiPort() const { return value("SMTP_ASCII_PORT").toInt(); }
    static QString user() { return QStringLiteral("test"); }
    static QString password() { return QStringLiteral("secret"); }
    // "127.0.0.1:port"
    static QString address(int port);

    // Writes one message into the user's Maildir as the newest message.
    void seed(const QByteArray &raw, const QString &user = QStringLiteral("test"));
    // A small complete message with that Message-ID (no angle brackets);
    // an empty id gives a message without a Message-ID field.
    static QByteArray makeMessage(const QString &messageId, const QString &subject,
                                  const QString &body = QStringLiteral("Hello."));
    // Removes every message and Dovecot's own index files of the user.
    void clearMailbox(const QString &user = QStringLiteral("test"));
    // Every message now in the user's Maildir, oldest first.
    QList<QByteArray> messages(const QString &user = QStringLiteral("test")) const;

    // Makes Dovecot present one of the certificates of the harness and waits
    // until the implicit-TLS port shows it: "a" (self-signed, this host, the
    // one at start), "b" (self-signed, another host), and, signed by the
    // test authority: "signed" (this host), "wronghost", "expired".
    bool useCertificate(const QString &name);
    // The digest of the DER form of that certificate.
    QByteArray certificateFingerprint(const QString &name = QStringLiteral("a"),
                                      QCryptographicHash::Algorithm algorithm = QCryptographicHash::Sha1) const;
    // Stores that certificate's fingerprint for 127.0.0.1:port in the
    // settings, as if the user had accepted it.
    void trustCertificate(int port, const QString &name = QStringLiteral("a")) const;
    // The test authority's certificate, to name as the root store.
    QString authorityFile() const { return m_dir + QStringLiteral("/ca.pem"); }

    QString directory() const { return m_dir; }

private:
    QString value(const QString &key) const { return m_env.value(key); }
    QString userDir(const QString &user) const;
    bool signalScript(int signal, const QByteArray &done);

    std::unique_ptr<QProcess> m_process;
    QString m_dir;
    QHash<QString, QString> m_env;
    int m_seeded = 0;
};

// One of the small faulty servers of tests/servers/faultserver.py: "silent"
// (accepts and never answers) or "proxy" (forwards and cuts). It stops when
// this object is destroyed, or when this process dies.
class FaultServer
{
public:
    FaultServer() = default;
    ~FaultServer();
    FaultServer(const FaultServer &) = delete;
    FaultServer &operator=(const FaultServer &) = delete;

    bool startSilent();
    // Forwards to 127.0.0.1:targetPort; extra options as the script takes them.
    bool startProxy(int targetPort, const QStringList &options = QStringList());
    // A POP3 server whose one message never ends (endless lines, or one line).
    bool startEndlessPop3(bool oneLine);
    void stop();
    int port() const { return m_port; }

private:
    bool start(const QStringList &arguments);
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};
