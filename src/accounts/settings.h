#pragma once

#include <QString>

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

}
