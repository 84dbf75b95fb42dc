#include "mailservers.h"

#include "base/settings.h"

#include <QSslCertificate>
#include <QSslSocket>
#include <QtTest>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>

namespace {
bool readLine(QProcess &process, QByteArray &line, int timeoutMs)
{
    if (!QTest::qWaitFor([&] { return process.canReadLine() || process.state() == QProcess::NotRunning; }, timeoutMs)
        || !process.canReadLine())
        return false;
    line = process.readLine().trimmed();
    return true;
}
}

MailServers::~MailServers()
{
    stop();
}

bool MailServers::start()
{
    if (isRunning())
        return true;
    // Under /tmp, not inside the test's private (mode 700) folder: Dovecot's
    // mail and login users must be able to enter it.
    QByteArray templ("/tmp/drel-mail-servers.XXXXXX");
    if (!mkdtemp(templ.data()))
        return false;
    m_dir = QFile::decodeName(templ);
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    // The mail servers are shared with the demo; the faulty ones are the tests' own.
    m_process->start(QStringLiteral("/bin/bash"), {QStringLiteral(MAIL_SOURCE_DIR "/scripts/mail-servers.sh"), m_dir});
    QByteArray line;
    if (!m_process->waitForStarted(10000) || !readLine(*m_process, line, 60000)
        || line != "ready") {
        qWarning() << "MailServers: the servers did not start:"
                   << m_process->readAllStandardError();
        stop();
        return false;
    }
    QFile env(m_dir + QStringLiteral("/servers.env"));
    if (!env.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &l : env.readAll().split('\n')) {
        const int eq = l.indexOf('=');
        if (eq > 0)
            m_env.insert(QString::fromUtf8(l.left(eq)), QString::fromUtf8(l.mid(eq + 1)));
    }
    return true;
}

void MailServers::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(15000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
    m_env.clear();
}

bool MailServers::signalScript(int signal, const QByteArray &done)
{
    QByteArray line;
    return isRunning() && ::kill(pid_t(m_process->processId()), signal) == 0
            && readLine(*m_process, line, 30000) && line == done;
}

bool MailServers::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString MailServers::address(int port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

QString MailServers::userDir(const QString &user) const
{
    return value(QStringLiteral("MAIL_DIR")) + QLatin1Char('/') + user;
}

void MailServers::seed(const QByteArray &raw, const QString &user)
{
    // Dovecot numbers new Maildir files in the order of their names.
    ++m_seeded;
    const QString name = QStringLiteral("%1.M%2P%3.seed")
                             .arg(1700000000 + m_seeded)
                             .arg(m_seeded, 8, 10, QLatin1Char('0'))
                             .arg(getpid());
    const QString tmp = userDir(user) + QStringLiteral("/tmp/") + name;
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly) || file.write(raw) != raw.size()) {
        qWarning() << "MailServers::seed: cannot write" << tmp;
        return;
    }
    file.close();
    if (::chown(QFile::encodeName(tmp).constData(), value(QStringLiteral("MAIL_UID")).toUInt(),
                value(QStringLiteral("MAIL_GID")).toUInt()) != 0)
        qWarning() << "MailServers::seed: cannot hand" << tmp << "to the mail user";
    QFile::rename(tmp, userDir(user) + QStringLiteral("/new/") + name);
}

QByteArray MailServers::makeMessage(const QString &messageId, const QString &subject,
                                    const QString &body)
{
    const QByteArray id = messageId.isEmpty() ? QByteArray() : "Message-ID: <" + messageId.toUtf8() + ">\r\n";
    return "From: Sender Name <sender@example.org>\r\nTo: test@example.org\r\nSubject: " + subject.toUtf8()
            + "\r\nDate: Mon, 6 Jan 2025 10:00:00 +0000\r\n" + id
            + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + body.toUtf8() + "\r\n";
}

void MailServers::clearMailbox(const QString &user)
{
    // The server process of a session that has just ended can still write its
    // list of messages; clear until the folder stays empty, or old messages
    // come back into the next test.
    QDir dir(userDir(user));
    const QStringList subs{QStringLiteral("new"), QStringLiteral("cur"), QStringLiteral("tmp")};
    int quiet = 0;
    for (int round = 0; round < 40 && quiet < 2; ++round) {
        bool found = false;
        for (const QString &sub : subs) {
            QDir d(dir.filePath(sub));
            for (const QString &f : d.entryList(QDir::Files))
                found |= d.remove(f);
        }
        for (const QString &f : dir.entryList({QStringLiteral("dovecot*")}, QDir::Files))
            found |= dir.remove(f);
        quiet = found ? 0 : quiet + 1;
        QThread::msleep(50);
    }
}

QList<QByteArray> MailServers::messages(const QString &user) const
{
    QMap<QString, QString> names; // sorted by file name
    for (const QString &sub : {QStringLiteral("cur"), QStringLiteral("new")}) {
        QDir d(userDir(user) + QLatin1Char('/') + sub);
        for (const QString &f : d.entryList(QDir::Files))
            names.insert(f, d.filePath(f));
    }
    QList<QByteArray> result;
    for (const QString &path : names) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            result.append(f.readAll());
    }
    return result;
}

QByteArray MailServers::certificateFingerprint(const QString &name,
                                              QCryptographicHash::Algorithm algorithm) const
{
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(m_dir + QStringLiteral("/cert-%1.pem").arg(name));
    return certs.isEmpty() ? QByteArray() : certs.first().digest(algorithm);
}

bool MailServers::useCertificate(const QString &name)
{
    QFile::remove(m_dir + QStringLiteral("/cert.pem"));
    QFile::remove(m_dir + QStringLiteral("/key.pem"));
    QFile::link(QStringLiteral("cert-%1.pem").arg(name), m_dir + QStringLiteral("/cert.pem"));
    QFile::link(QStringLiteral("key-%1.pem").arg(name), m_dir + QStringLiteral("/key.pem"));
    QFile pidFile(m_dir + QStringLiteral("/run/master.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    ::kill(pidFile.readAll().trimmed().toInt(), SIGHUP);

    const QByteArray wanted = certificateFingerprint(name);
    return QTest::qWaitFor([&] {
        QSslSocket socket;
        socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), imapsPort());
        return socket.waitForEncrypted(3000) && socket.peerCertificate().digest(QCryptographicHash::Sha1) == wanted;
    }, 15000);
}

FaultServer::~FaultServer()
{
    stop();
}

bool FaultServer::startSilent()
{
    return start({QStringLiteral("silent")});
}

bool FaultServer::startProxy(int targetPort, const QStringList &options)
{
    return start(QStringList{QStringLiteral("proxy"), QString::number(targetPort)} + options);
}

bool FaultServer::startEndlessPop3(bool oneLine)
{
    return start(oneLine ? QStringList{QStringLiteral("endless-pop3"), QStringLiteral("--one-line")}
                         : QStringList{QStringLiteral("endless-pop3")});
}

bool FaultServer::startImap(const QString &shape)
{
    return start({QStringLiteral("imap"), QStringLiteral("--shape"), shape});
}

bool FaultServer::start(const QStringList &arguments)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->start(QStringLiteral("/usr/bin/python3"),
                     QStringList{QStringLiteral(MAIL_SOURCE_DIR "/tests/servers/faultserver.py")} + arguments);
    QByteArray line;
    if (!m_process->waitForStarted(10000) || !readLine(*m_process, line, 10000)) {
        qWarning() << "FaultServer: did not start:" << m_process->readAllStandardError();
        stop();
        return false;
    }
    m_port = line.toInt();
    return m_port > 0;
}

void FaultServer::stop()
{
    if (!m_process)
        return;
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(3000)) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
    m_process.reset();
    m_port = 0;
}

void MailServers::trustCertificate(int port, const QString &name) const
{
    QList<unsigned char> bytes;
    for (char b : certificateFingerprint(name))
        bytes.append(static_cast<unsigned char>(b));
    Settings::setCertificateFingerprint(address(port), bytes);
}
