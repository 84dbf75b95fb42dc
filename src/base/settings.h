#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Names and defaults of the per-user settings store (~/.config/drel/mail.conf
// once drelInit() has named the application). Every access constructs its own
// short-lived QSettings, so these functions may be called from any thread.
namespace Settings {

// Group "global"
inline const QString globalGroup = QStringLiteral("global");
inline const QString currentProfileKey = QStringLiteral("currentProfile");
inline const QString storeMessagesCountKey = QStringLiteral("storeMessagesCount");
inline const QString getMailTimerIntervalKey = QStringLiteral("getMailTimerInterval");
inline const QString deleteFromServerKey = QStringLiteral("deleteFromServer");
constexpr int defaultGetMailTimerInterval = 300000;

// Group "profiles": one child group per account, named by its e-mail address.
inline const QString profilesGroup = QStringLiteral("profiles");
inline const QString nameKey = QStringLiteral("name");
inline const QString inServerKey = QStringLiteral("inServer");
inline const QString outServerKey = QStringLiteral("outServer");
inline const QString inLoginKey = QStringLiteral("inLogin");
inline const QString outLoginKey = QStringLiteral("outLogin");
inline const QString inPasswordKey = QStringLiteral("inPassword");
inline const QString outPasswordKey = QStringLiteral("outPassword");

// Group "servers": one child group per server record, named by its address.
inline const QString serversGroup = QStringLiteral("servers");
inline const QString typeKey = QStringLiteral("type");
inline const QString protocolKey = QStringLiteral("protocol");
inline const QString sslKey = QStringLiteral("ssl");
inline const QString authKey = QStringLiteral("auth");
inline const QString loginKey = QStringLiteral("login");
inline const QString certificateFingerprintKey = QStringLiteral("certificateFingerprint");
// The security mode that autodetection last connected with. Once it is a
// secure one, autodetection never falls back to clear text for this address.
inline const QString probedSslKey = QStringLiteral("probedSsl");

// The global options, read with their defaults.
QString currentProfile();
void setCurrentProfile(const QString &email);
int storeMessagesCount();
void setStoreMessagesCount(int count);
int getMailTimerInterval();
void setGetMailTimerInterval(int milliseconds);
bool deleteFromServer();
void setDeleteFromServer(bool on);

// Group "profiles": an account's record, read with its defaults (the
// outgoing login and sealed password default to the incoming ones). Sealed
// passwords are only read: older versions wrote them, and they stay until
// the keyring has taken them.
struct AccountRecord {
    QString name;
    QString inServer;
    QString outServer;
    QString inLogin;
    QString outLogin;
    QString inPassword;  // sealed
    QString outPassword; // sealed
};
QStringList accounts();
AccountRecord account(const QString &email);
// Writes "name", "inServer" and "outServer".
void saveAccount(const QString &email, const QString &name, const QString &inServer,
                 const QString &outServer);
// Writes one key of the account, e.g. a login.
void setAccountValue(const QString &email, const QString &key, const QVariant &value);
// Whether the account still keeps a sealed password in the file.
bool hasSealedPasswords(const QString &email);
// Both sealed passwords go in one write, so that the outgoing one, which
// defaults to the incoming one, is never left to a wrong default.
void removeSealedPasswords(const QString &email);
void removeAccount(const QString &email);

// Group "servers": a record's stored fields, numbers as the enums of the
// server manager keep them.
struct ServerRecord {
    int type = 0;
    int protocol = 0;
    int ssl = 0;
    int auth = 0;
    QString login;
};
QStringList servers();
ServerRecord server(const QString &address);
void saveServer(const QString &address, const ServerRecord &record);
void removeServer(const QString &address);
// The bytes of the certificate fingerprint the user accepted; empty when none.
QList<unsigned char> certificateFingerprint(const QString &address);
void setCertificateFingerprint(const QString &address, const QList<unsigned char> &bytes);
// probedSsl of a record, or fallback; set only for a saved record (a group
// without a type would be read back as a record of its own).
int probedSsl(const QString &address, int fallback);
void setProbedSsl(const QString &address, int ssl);

// The settings file itself.
QString fileName();

}
