// Writes the demo account into the settings store of the current HOME (the
// demo's own, never the user's): the incoming and outgoing server records of
// the demo servers with their certificate accepted in advance, and the
// account, made current. Run at every demo start, since the ports change:
//   drel-mail-demo-account ADDRESS LOGIN PASSWORD IMAPS POP3S SMTPS CERT.pem INTERVAL_MS
#include "main/drel.h"
#include "servers/serverkind.h"
#include "base/settings.h"
#include "accounts/utils.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSettings>
#include <QSslCertificate>
#include <QVariantList>

#include <cstdio>

namespace {
const QString host = QStringLiteral("127.0.0.1:");

void writeServer(const QString &address, ServerKind::Type type, ServerKind::Protocol protocol,
                 const QString &login, const QVariantList &fingerprint)
{
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(address);
    settings.setValue(Settings::typeKey, int(type));
    settings.setValue(Settings::protocolKey, int(protocol));
    settings.setValue(Settings::sslKey, int(ServerKind::TLS_SSL));
    settings.setValue(Settings::authKey, int(ServerKind::AUTO_AUTH));
    settings.setValue(Settings::loginKey, login);
    settings.setValue(Settings::certificateFingerprintKey, fingerprint);
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 9) {
        std::fprintf(stderr, "usage: drel-mail-demo-account ADDRESS LOGIN PASSWORD IMAPS POP3S SMTPS CERT INTERVAL\n");
        return 2;
    }
    drelInit("1.0.8-1", "Mail");   // the program's settings file
    const QString email = args.at(1);
    const QString login = args.at(2);
    const QString imap = host + args.at(4);
    const QString pop3 = host + args.at(5);
    const QString smtp = host + args.at(6);
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(args.at(7));
    if (certificates.isEmpty()) {
        std::fprintf(stderr, "drel-mail-demo-account: cannot read %s\n", qPrintable(args.at(7)));
        return 1;
    }
    QVariantList fingerprint;
    for (const char byte : certificates.first().digest(QCryptographicHash::Sha1))
        fingerprint << int(static_cast<unsigned char>(byte));

    {
        // The records of earlier demo runs name ports that are gone.
        QSettings settings;
        settings.beginGroup(Settings::serversGroup);
        for (const QString &address : settings.childGroups()) {
            if (address.startsWith(host))
                settings.remove(address);
        }
    }
    writeServer(imap, ServerKind::INCOMING_TYPE, ServerKind::IMAP, login, fingerprint);
    writeServer(pop3, ServerKind::INCOMING_TYPE, ServerKind::POP3, login, fingerprint);
    writeServer(smtp, ServerKind::OUTGOING_TYPE, ServerKind::SMTP, login, fingerprint);

    QSettings settings;
    settings.beginGroup(Settings::profilesGroup);
    settings.beginGroup(email);
    if (!settings.contains(Settings::nameKey))
        settings.setValue(Settings::nameKey, QStringLiteral("Demo User"));
    settings.setValue(Settings::inServerKey, imap);
    settings.setValue(Settings::outServerKey, smtp);
    settings.setValue(Settings::inLoginKey, login);
    settings.setValue(Settings::inPasswordKey, Utils::encrypt(args.at(3)));
    settings.remove(Settings::outLoginKey);
    settings.remove(Settings::outPasswordKey);
    settings.endGroup();
    settings.endGroup();
    settings.sync();
    if (Settings::currentProfile().isEmpty())
        Settings::setCurrentProfile(email);
    Settings::setGetMailTimerInterval(args.at(8).toInt());
    return settings.status() == QSettings::NoError ? 0 : 1;
}
