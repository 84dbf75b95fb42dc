#include "base/settings.h"

#include <QSettings>

namespace {
QVariant readGlobal(const QString &key, const QVariant &fallback)
{
    QSettings settings;
    settings.beginGroup(Settings::globalGroup);
    return settings.value(key, fallback);
}

void writeGlobal(const QString &key, const QVariant &value)
{
    QSettings settings;
    settings.beginGroup(Settings::globalGroup);
    settings.setValue(key, value);
    settings.endGroup();
}
}

QString Settings::currentProfile()
{
    return readGlobal(currentProfileKey, QString()).toString();
}

void Settings::setCurrentProfile(const QString &email)
{
    writeGlobal(currentProfileKey, email);
}

int Settings::storeMessagesCount()
{
    return readGlobal(storeMessagesCountKey, 0).toInt();
}

void Settings::setStoreMessagesCount(int count)
{
    writeGlobal(storeMessagesCountKey, count);
}

int Settings::getMailTimerInterval()
{
    return readGlobal(getMailTimerIntervalKey, defaultGetMailTimerInterval).toInt();
}

void Settings::setGetMailTimerInterval(int milliseconds)
{
    writeGlobal(getMailTimerIntervalKey, milliseconds);
}

bool Settings::deleteFromServer()
{
    return readGlobal(deleteFromServerKey, false).toBool();
}

void Settings::setDeleteFromServer(bool on)
{
    writeGlobal(deleteFromServerKey, on);
}

namespace {
// The child group of "profiles" or "servers" named by user data.
void enterRecord(QSettings &settings, const QString &group, const QString &name)
{
    settings.beginGroup(group);
    settings.beginGroup(name);
}

QStringList childGroups(const QString &group)
{
    QSettings settings;
    settings.beginGroup(group);
    return settings.childGroups();
}

void removeChild(const QString &group, const QString &name)
{
    QSettings settings;
    settings.beginGroup(group);
    settings.remove(name);
}
}

QStringList Settings::accounts()
{
    return childGroups(profilesGroup);
}

Settings::AccountRecord Settings::account(const QString &email)
{
    QSettings settings;
    enterRecord(settings, profilesGroup, email);
    AccountRecord r;
    r.name = settings.value(nameKey, QString()).toString();
    r.inServer = settings.value(inServerKey, QString()).toString();
    r.outServer = settings.value(outServerKey, QString()).toString();
    r.inLogin = settings.value(inLoginKey, QString()).toString();
    r.outLogin = settings.value(outLoginKey, r.inLogin).toString();
    r.inPassword = settings.value(inPasswordKey, QString()).toString();
    r.outPassword = settings.value(outPasswordKey, r.inPassword).toString();
    return r;
}

void Settings::saveAccount(const QString &email, const QString &name, const QString &inServer,
                           const QString &outServer)
{
    QSettings settings;
    enterRecord(settings, profilesGroup, email);
    settings.setValue(nameKey, name);
    settings.setValue(inServerKey, inServer);
    settings.setValue(outServerKey, outServer);
}

void Settings::setAccountValue(const QString &email, const QString &key, const QVariant &value)
{
    QSettings settings;
    enterRecord(settings, profilesGroup, email);
    settings.setValue(key, value);
}

bool Settings::hasSealedPasswords(const QString &email)
{
    QSettings settings;
    enterRecord(settings, profilesGroup, email);
    return settings.contains(inPasswordKey) || settings.contains(outPasswordKey);
}

void Settings::removeSealedPasswords(const QString &email)
{
    QSettings settings;
    enterRecord(settings, profilesGroup, email);
    settings.remove(inPasswordKey);
    settings.remove(outPasswordKey);
}

void Settings::removeAccount(const QString &email)
{
    removeChild(profilesGroup, email);
}

QStringList Settings::servers()
{
    return childGroups(serversGroup);
}

Settings::ServerRecord Settings::server(const QString &address)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    ServerRecord r;
    r.type = settings.value(typeKey, 0).toInt();
    r.protocol = settings.value(protocolKey, 0).toInt();
    r.ssl = settings.value(sslKey, 0).toInt();
    r.auth = settings.value(authKey, 0).toInt();
    r.login = settings.value(loginKey, QString()).toString();
    return r;
}

void Settings::saveServer(const QString &address, const ServerRecord &record)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    settings.setValue(typeKey, record.type);
    settings.setValue(protocolKey, record.protocol);
    settings.setValue(sslKey, record.ssl);
    settings.setValue(authKey, record.auth);
    settings.setValue(loginKey, record.login);
}

void Settings::removeServer(const QString &address)
{
    removeChild(serversGroup, address);
}

QList<unsigned char> Settings::certificateFingerprint(const QString &address)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    QList<unsigned char> bytes;
    if (settings.contains(certificateFingerprintKey)) {
        for (const QVariant &v : settings.value(certificateFingerprintKey).toList()) {
            bool ok = false;
            const uint b = v.toUInt(&ok);
            bytes.append(ok ? static_cast<unsigned char>(b) : 0);
        }
    }
    return bytes;
}

void Settings::setCertificateFingerprint(const QString &address, const QList<unsigned char> &bytes)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    QVariantList list;
    for (unsigned char b : bytes)
        list.append(static_cast<int>(b));
    settings.setValue(certificateFingerprintKey, list);
}

int Settings::probedSsl(const QString &address, int fallback)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    return settings.value(probedSslKey, fallback).toInt();
}

void Settings::setProbedSsl(const QString &address, int ssl)
{
    QSettings settings;
    enterRecord(settings, serversGroup, address);
    if (settings.contains(typeKey) && settings.value(probedSslKey).toInt() != ssl)
        settings.setValue(probedSslKey, ssl);
}

QString Settings::fileName()
{
    return QSettings().fileName();
}
