#include "servertestcase.h"

#include "accounts/profile.h"
#include "accounts/utils.h"
#include "base/settings.h"
#include "testhome.h"

#include <QtTest>

void ServerTestCase::initTestCase()
{
    TestHome::prepareProgram();
    QVERIFY(servers.start());
    // The test authority is the only one this program trusts; the
    // certificates are read at the first check.
    qputenv("SSL_CERT_FILE", QFile::encodeName(servers.authorityFile()));
}

void ServerTestCase::cleanupTestCase()
{
    servers.stop();
}

void ServerTestCase::init()
{
    servers.clearMailbox(QStringLiteral("test"));
    servers.clearMailbox(QStringLiteral("other"));
    QSettings().clear();
    QDir(QDir::homePath() + QStringLiteral("/.drel-mail")).removeRecursively();
}

void storeTestAccount(int inPort, ServerKind::Ssl ssl, int outPort, const QString &password,
                      ServerKind::Protocol protocol)
{
    const QString email = QStringLiteral("test@example.org");
    const QString in = MailServers::address(inPort);
    const QString out = outPort ? MailServers::address(outPort) : QString();
    Settings::saveServer(in, {int(ServerKind::INCOMING_TYPE), int(protocol), int(ssl),
                              int(ServerKind::AUTO_AUTH), QString()});
    if (outPort)
        Settings::saveServer(out, {int(ServerKind::OUTGOING_TYPE), int(ServerKind::SMTP), int(ssl),
                                   int(ServerKind::AUTO_AUTH), QString()});
    Settings::saveAccount(email, QStringLiteral("Test User"), in, out);
    Settings::setAccountValue(email, Settings::inLoginKey, MailServers::user());
    Settings::setAccountValue(email, Settings::inPasswordKey, Utils::encrypt(password));
}

bool isSettled(const Profile *profile)
{
    return profile->status() == Profile::READY_STATUS && profile->pendingLetters() == 0;
}
