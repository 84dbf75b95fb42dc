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
